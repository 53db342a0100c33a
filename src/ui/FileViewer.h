#pragma once
// Vollum's own read-only viewer for a viewed file or a listing, for a machine
// without a program that opens files: text as it is, anything else as hex.
#include <QWidget>
#include <string>

class QPlainTextEdit;

namespace vollum {

class TGradientCaption;

class TFileViewer : public QWidget {
    Q_OBJECT
public:
    // Reads the file at once; title names what is shown.
    TFileViewer(const std::string& path, const std::string& title, QWidget* parent = nullptr);

    // True when the bytes read as text: no NUL, valid UTF-8, few control characters.
    static bool LooksLikeText(const std::string& bytes);
    // Offset, sixteen bytes in hex and as ASCII per line.
    static std::string HexDump(const std::string& bytes);

    QPlainTextEdit* ViewerText;
    TGradientCaption* GradientCaption1;
    bool ShowsHex = false;
};

}  // namespace vollum
