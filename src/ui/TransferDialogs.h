#pragma once
// The four small dialogs of the file commands: Get, Put, View and Rename.
// They only collect names and the transfer mode; the main window does the work.
#include <QDialog>
#include <string>

#include "ui/DesignLayout.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vollum {

class TGradientCaption;
class UserPrompts;

// What the four have in common: bevel, OK and Cancel, the optional
// "Transfer Mode" group, and the layout.
class TTransferDialog : public QDialog {
    Q_OBJECT
public:
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* rbASCII = nullptr;
    QRadioButton* rbEBCDIC = nullptr;
    QRadioButton* rbBINARY = nullptr;
    TGradientCaption* GradientCaption1 = nullptr;

    // "TYPE A", "TYPE I" or "TYPE E" from the mode buttons, in the order Get and View test them.
    std::string ChosenTypeCommand() const;
    // The profile's TransferType checked: 1 ASCII, 3 EBCDIC, anything else
    // Binary (an ASCII default would change binary files without a word).
    void PresetMode(int transferTypeCode);
    // Where the refusal of an empty remote name is said; without one the field just takes the focus.
    UserPrompts* Prompts = nullptr;

    // OK with an empty remote name is refused: no command goes out without one.
    void accept() override;

    static std::string Text(const QLineEdit* edit);

protected:
    TTransferDialog(const char* name, const char* company, int width, int height, QWidget* parent);
    QLineEdit* AddEdit(const char* name, int left, int top);
    QLabel* AddLabel(const char* name, const char* caption, int left, int top, int room);
    void AddModeGroup(int left, int top);
    void AddButtons(int left);
    // The tab order of the listed controls, first to last.
    void TabOrder(std::initializer_list<QWidget*> controls);
    // Once every control exists: the layout, and the caption bar naming the dialog.
    void Finish();

    DesignLayout layout_;
    std::string name_;  // the dialog's name, shown by the caption bar
    QLineEdit* remoteField_ = nullptr;  // must not be empty on OK
};

class TGetDLG : public TTransferDialog {
    Q_OBJECT
public:
    explicit TGetDLG(QWidget* parent = nullptr);
    QLabel* Label1;
    QLineEdit* FileName;
    QLabel* Label2;
    QLineEdit* LocalName;
    void FileNameExit();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TPutDLG : public TTransferDialog {
    Q_OBJECT
public:
    explicit TPutDLG(QWidget* parent = nullptr);
    QLabel* Label1;
    QLineEdit* FileName;
    QPushButton* Browse;
    QLabel* Label2;
    QLineEdit* RemoteName;
    void FileNameExit();
    void BrowseClick();

    // "TYPE A", then "TYPE E", then "TYPE I", a later match overriding an
    // earlier one; `current` when none is checked.
    std::string PutTypeCommand(const std::string& current) const;
    // The file-name part of a local path.
    static std::string RemoteNameFor(const std::string& localPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TViewDLG : public TTransferDialog {
    Q_OBJECT
public:
    explicit TViewDLG(QWidget* parent = nullptr);
    QLabel* Label1;
    QLineEdit* FileName;

protected:
    void showEvent(QShowEvent* event) override;
};

class TRenDLG : public TTransferDialog {
    Q_OBJECT
public:
    explicit TRenDLG(QWidget* parent = nullptr);
    QLabel* Label1;
    QLineEdit* FileFrom;
    QLabel* Label2;
    QLineEdit* FileTo;

protected:
    void showEvent(QShowEvent* event) override;
};

// True for a focus change a user made inside the dialog (Tab, a click), not
// for the whole window losing the focus.
bool LeftByUser(const QEvent* event);

}  // namespace vollum
