#include "desktop_session.h"

#include <chrono>
#include <thread>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

using namespace std::chrono_literals;

// How long the server and the window manager may take to start: on a machine whose cores are busy
// with other builds and tests, far longer than alone, within a test's own time.
constexpr int kToolPatienceMs = 60000;

std::uint32_t BigEndian32(const QByteArray& data, int offset) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData() + offset);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

// A screen dump in X's window dump format with pixels of three or four bytes, least significant
// byte first (blue, green, red), as Xvfb writes them at depth 24; null for any other layout.
QImage FromWindowDump(const QByteArray& dump) {
    constexpr int kHeaderFields = 25;
    if (dump.size() < kHeaderFields * 4) return {};
    auto field = [&](int index) { return BigEndian32(dump, index * 4); };
    const std::uint32_t headerSize = field(0), format = field(2), width = field(4), height = field(5);
    const std::uint32_t byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12);
    const std::uint32_t colours = field(19);
    const std::uint32_t pixelBytes = bitsPerPixel / 8;
    const qsizetype start = headerSize + static_cast<qsizetype>(colours) * 12;
    if (format != 2 || (pixelBytes != 3 && pixelBytes != 4) || byteOrder != 0 || width == 0 || height == 0 ||
        bytesPerLine < width * pixelBytes ||
        dump.size() < start + static_cast<qsizetype>(bytesPerLine) * height)
        return {};
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    for (std::uint32_t y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(dump.constData() + start + y * bytesPerLine);
        auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (std::uint32_t x = 0; x < width; ++x, row += pixelBytes) pixels[x] = qRgb(row[2], row[1], row[0]);
    }
    return image;
}

}  // namespace

DesktopSession::~DesktopSession() {
    for (QProcess* process : {&m_windowManager, &m_server}) {
        if (process->state() == QProcess::NotRunning) continue;
        process->terminate();
        if (!process->waitForFinished(5000)) process->kill();
        process->waitForFinished();
    }
}

bool DesktopSession::Start() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (!m_home.isValid() || xvfb.isEmpty() || openbox.isEmpty() || m_xdotool.isEmpty()) {
        m_error =
            QStringLiteral("Xvfb, openbox and xdotool are needed (scripts/install-deps.sh installs them)");
        return false;
    }
    QDir(m_home.path()).mkpath(QStringLiteral(".config"));
    QDir(m_home.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(m_home.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Xvfb picks a free display and writes its number on the descriptor given.
    m_server.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    QByteArray number;
    while (m_server.waitForStarted() && !number.contains('\n') && m_server.waitForReadyRead(kToolPatienceMs))
        number += m_server.readAllStandardOutput();
    if (!number.contains('\n')) {
        m_error = QStringLiteral("Xvfb did not start");
        return false;
    }
    m_display = ":" + QString::fromLatin1(number.trimmed());

    m_windowManager.setProcessEnvironment(Environment());
    m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_windowManager.start(openbox, {"--sm-disable"});
    // The window manager is there once it has named itself on the root window.
    for (int waited = 0; waited < kToolPatienceMs; waited += 100) {
        if (Run(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"})
                .contains(QLatin1String("window id")))
            return true;
        std::this_thread::sleep_for(100ms);
    }
    m_error = QStringLiteral("openbox did not start");
    return false;
}

QProcessEnvironment DesktopSession::Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    // The texts as written, whatever the tester's own locale.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.remove(QStringLiteral("LANGUAGE"));
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral(".config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("run")));
    return environment;
}

QString DesktopSession::Run(const QString& tool, const QStringList& arguments) const {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.start(tool, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString DesktopSession::WaitForWindow(const QString& pattern, const QProcess& program, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline && program.state() == QProcess::Running) {
        const QString found = XDoTool({"search", "--onlyvisible", "--name", pattern});
        if (!found.isEmpty()) return found.section('\n', 0, 0);
        std::this_thread::sleep_for(200ms);
    }
    return {};
}

QRect DesktopSession::ClientGeometry(const QString& window) const {
    // xwininfo tells the window's own place on the screen ("Absolute upper-left X:  193", ...);
    // xdotool's answer counts the frame in for a framed window.
    const QString info = Run(QStringLiteral("xwininfo"), {"-id", window});
    auto value = [&](const char* label) {
        const QRegularExpression line(QStringLiteral("^\\s*%1:\\s*(-?\\d+)").arg(QLatin1String(label)),
                                      QRegularExpression::MultilineOption);
        return line.match(info).captured(1).toInt();
    };
    return {value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height")};
}

QMargins DesktopSession::FrameExtents(const QString& window) const {
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    const QString property = Run(QStringLiteral("xprop"), {"-id", window, "_NET_FRAME_EXTENTS"});
    const QStringList values = property.section('=', 1).split(',', Qt::SkipEmptyParts);
    if (values.size() != 4) return {};
    return {values[0].trimmed().toInt(), values[2].trimmed().toInt(), values[1].trimmed().toInt(),
            values[3].trimmed().toInt()};
}

QImage DesktopSession::Screenshot(const QString& window) const {
    QProcess dump;
    dump.setProcessEnvironment(Environment());
    const QStringList which = window.isEmpty() ? QStringList{"-root"} : QStringList{"-id", window};
    dump.start(QStringLiteral("xwd"), which + QStringList{"-silent"});
    if (!dump.waitForFinished(10000)) return {};
    return FromWindowDump(dump.readAllStandardOutput());
}
