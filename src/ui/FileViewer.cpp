#include "ui/FileViewer.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <fstream>
#include <iterator>

#include "caption/TGradientCaption.h"
#include "ui/QtText.h"

namespace vollum {

namespace {
// Enough for any listing or text one reads on screen; a hex dump costs
// about five characters a byte, so it shows less.
constexpr size_t kMostTextBytes = 16u << 20;
constexpr size_t kMostHexBytes = 1u << 20;
constexpr size_t kSniffBytes = 64u << 10;

std::string ReadUpTo(const std::string& path, size_t most, size_t& total) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    total = in ? static_cast<size_t>(in.tellg()) : 0;
    in.seekg(0);
    std::string bytes(std::min(total, most), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}
}  // namespace

bool TFileViewer::LooksLikeText(const std::string& bytes) {
    const std::string_view head(bytes.data(), std::min(bytes.size(), kSniffBytes));
    size_t controls = 0;
    for (unsigned char c : head) {
        if (c == 0) return false;
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f') ++controls;
    }
    if (controls * 100 > head.size()) return false;
    // A multi-byte character cut at the end of the sample is still text.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)utf8.decode(QByteArrayView(head.data(), static_cast<qsizetype>(head.size())));
    return !utf8.hasError();
}

std::string TFileViewer::HexDump(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() / 16 * 78 + 80);
    for (size_t line = 0; line < bytes.size(); line += 16) {
        char offset[24];
        std::snprintf(offset, sizeof offset, "%08zx  ", line);
        out += offset;
        std::string ascii;
        for (size_t i = line; i < line + 16; ++i) {
            if (i < bytes.size()) {
                const auto c = static_cast<unsigned char>(bytes[i]);
                out += digits[c >> 4];
                out += digits[c & 15];
                out += ' ';
                ascii += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '.';
            } else {
                out += "   ";
            }
            if (i == line + 7) out += ' ';
        }
        out += " |" + ascii + "|\n";
    }
    return out;
}

TFileViewer::TFileViewer(const std::string& path, const std::string& title, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName("FileViewer");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(ToQt(title));
    ViewerText = new QPlainTextEdit(this);
    ViewerText->setObjectName("ViewerText");
    ViewerText->setReadOnly(true);
    ViewerText->setLineWrapMode(QPlainTextEdit::NoWrap);
    ViewerText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(ViewerText);

    size_t total = 0;
    std::string bytes = ReadUpTo(path, kMostTextBytes, total);
    ShowsHex = !LooksLikeText(bytes);
    if (ShowsHex && bytes.size() > kMostHexBytes) bytes.resize(kMostHexBytes);
    QString shown = ShowsHex ? ToQt(HexDump(bytes)) : QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    shown.replace("\r\n", "\n");
    if (bytes.size() < total)
        shown += QString("\n(the first %1 of %2 bytes shown; the whole file is %3)")
                     .arg(bytes.size())
                     .arg(total)
                     .arg(ToQt(path));
    ViewerText->setPlainText(shown);
    resize(720, 480);
    GradientCaption1 = AttachGradientCaption(this, "Vollum", "Viewer -");
    // Over the window it was opened from, like a dialog.
    const QRect over = parent != nullptr ? parent->window()->frameGeometry()
                       : QGuiApplication::primaryScreen() != nullptr
                           ? QGuiApplication::primaryScreen()->availableGeometry()
                           : QRect();
    if (over.isValid()) move(over.center() - rect().center());
}

}  // namespace vollum
