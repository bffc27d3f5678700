#include "text/message_catalogue.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

using Translations = std::unordered_map<std::string, std::string>;

// Every catalogue loaded stays, so that a translation handed out outlives a change of language.
struct LoadedCatalogues {
    std::vector<std::unique_ptr<Translations>> all;
    const Translations* current = nullptr;
    MessageLanguage language = MessageLanguage::AsWritten;
};

LoadedCatalogues& Catalogues() {
    static LoadedCatalogues catalogues;
    return catalogues;
}

// The header of a .mo file: magic, revision, count, offsets of the two string tables.
constexpr std::uint32_t kMagic = 0x950412de;
constexpr std::uint32_t kSwappedMagic = 0xde120495;

class MoReader {
public:
    explicit MoReader(std::string bytes) : m_bytes(std::move(bytes)) {}

    // Every message of the file; empty when the file is no .mo file or is damaged. Our texts have
    // neither contexts nor plural forms, so an original is the whole text looked up.
    [[nodiscard]] Translations Messages() {
        std::uint32_t magic = 0;
        if (!Word(0, magic)) return {};
        if (magic != kMagic && magic != kSwappedMagic) return {};
        m_swapped = magic == kSwappedMagic;
        std::uint32_t count = 0, originals = 0, translations = 0;
        if (!Word(8, count) || !Word(12, originals) || !Word(16, translations)) return {};
        Translations messages;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string_view original, translation;
            if (!Text(originals + 8 * std::uint64_t{i}, original) ||
                !Text(translations + 8 * std::uint64_t{i}, translation))
                return {};
            // The empty original holds the catalogue's header, not a message.
            if (!original.empty()) messages.emplace(original, translation);
        }
        return messages;
    }

private:
    bool Word(std::uint64_t at, std::uint32_t& value) const {
        if (at + 4 > m_bytes.size()) return false;
        value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const auto byte =
                static_cast<unsigned char>(m_bytes[static_cast<std::size_t>(at) + (m_swapped ? i : 3 - i)]);
            value = value << 8 | byte;
        }
        return true;
    }

    // A string table entry: its length and offset, the string after it ending in a zero byte.
    bool Text(std::uint64_t entry, std::string_view& text) const {
        std::uint32_t length = 0, offset = 0;
        if (!Word(entry, length) || !Word(entry + 4, offset)) return false;
        if (std::uint64_t{offset} + length >= m_bytes.size()) return false;
        text = std::string_view(m_bytes).substr(offset, length);
        return true;
    }

    std::string m_bytes;
    bool m_swapped = false;  // the file's words are big-endian
};

std::string FileBytes(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return {};
    return bytes;
}

}  // namespace

std::filesystem::path InstalledLocaleFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return program.parent_path().parent_path() / "share" / "locale";
}

bool UseMessageLanguage(MessageLanguage language, const std::filesystem::path& localeFolder) {
    LoadedCatalogues& catalogues = Catalogues();
    catalogues.current = nullptr;
    catalogues.language = MessageLanguage::AsWritten;
    if (language == MessageLanguage::AsWritten) return true;
    const std::filesystem::path file =
        localeFolder / std::string(CatalogueNameOf(language)) / "LC_MESSAGES" / "tessarel.mo";
    MoReader reader(FileBytes(file));
    auto messages = std::make_unique<Translations>(reader.Messages());
    if (messages->empty()) return false;
    catalogues.current = messages.get();
    catalogues.language = language;
    catalogues.all.push_back(std::move(messages));
    return true;
}

MessageLanguage CurrentMessageLanguage() {
    return Catalogues().language;
}

const char* Translated(const char* text) {
    const Translations* current = Catalogues().current;
    if (current == nullptr || text == nullptr) return text;
    const auto found = current->find(text);
    return found == current->end() || found->second.empty() ? text : found->second.c_str();
}

std::string FormatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}
