#include "platform/profile_text.h"

#include <algorithm>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The lines of text without their "\n"; a last line without one is kept.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (!line.starts_with('[')) return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

// The key and value of a "key=value" line; nullopt for blank lines, comments and other text.
std::optional<Entry> EntryOf(std::string_view line) {
    const auto trimmed = Trim(line);
    if (trimmed.empty() || trimmed.starts_with(';')) return std::nullopt;
    const auto equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return Entry{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Where one section lies among the lines: its header, and one past its last line.
struct SectionSpan {
    std::size_t header;
    std::size_t end;
};

std::optional<SectionSpan> FindSection(const std::vector<std::string_view>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i]);
        if (!name || !SameIgnoringCase(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end])) ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<std::string_view>& lines, SectionSpan span,
                                   std::string_view key) {
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const auto entry = EntryOf(lines[i]);
        if (entry && SameIgnoringCase(entry->key, key)) return i;
    }
    return std::nullopt;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    const auto lines = SplitLines(text);
    const auto span = FindSection(lines, section);
    if (!span) return std::nullopt;
    const auto line = FindKey(lines, *span, key);
    if (!line) return std::nullopt;
    return std::string(Unquoted(EntryOf(lines[*line])->value));
}

std::string WithProfileValue(std::string_view text, std::string_view section, const char* key,
                             const char* value) {
    const auto views = SplitLines(text);
    std::vector<std::string> lines(views.begin(), views.end());
    const auto span = FindSection(views, section);

    if (key == nullptr) {
        if (span)
            lines.erase(lines.begin() + static_cast<long>(span->header),
                        lines.begin() + static_cast<long>(span->end));
        return Joined(lines);
    }
    // New lines end as the file's lines do.
    const std::string ending = !views.empty() && views.front().ends_with('\r') ? "\r" : "";
    const std::string entry = std::string(key) + "=" + (value ? value : "") + ending;
    if (!span) {
        if (value != nullptr) {
            lines.push_back("[" + std::string(section) + "]" + ending);
            lines.push_back(entry);
        }
        return Joined(lines);
    }
    if (const auto at = FindKey(views, *span, key)) {
        if (value == nullptr) {
            lines.erase(lines.begin() + static_cast<long>(*at));
        } else {
            lines[*at] = entry;
        }
        return Joined(lines);
    }
    if (value != nullptr) {
        // After the section's last non-blank line, so that a blank line before the next
        // section stays where it was.
        std::size_t insertAt = span->end;
        while (insertAt > span->header + 1 && Trim(views[insertAt - 1]).empty()) --insertAt;
        lines.insert(lines.begin() + static_cast<long>(insertAt), entry);
    }
    return Joined(lines);
}

}  // namespace platform
