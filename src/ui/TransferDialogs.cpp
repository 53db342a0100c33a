#include "ui/TransferDialogs.h"

#include <QFileDialog>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "caption/TGradientCaption.h"
#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "ui/QtText.h"

namespace vollum {

namespace {
constexpr int kButtonWidth = 77;
constexpr int kButtonHeight = 27;

}  // namespace

bool LeftByUser(const QEvent* event) {
    if (event->type() != QEvent::FocusOut) return false;
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

std::string TTransferDialog::Text(const QLineEdit* edit) { return FromQt(edit->text()); }

TTransferDialog::TTransferDialog(const char* name, const char* company, int width, int height, QWidget* parent)
    : QDialog(parent), layout_(this, width, height), name_(company) {
    setObjectName(name);
    setWindowTitle(" ");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void TTransferDialog::Finish() {
    layout_.Apply();
    GradientCaption1 = AttachGradientCaption(this, name_, " ");
}

QLineEdit* TTransferDialog::AddEdit(const char* name, int left, int top) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    layout_.Place(edit, left, top, 121, 21);
    return edit;
}

QLabel* TTransferDialog::AddLabel(const char* name, const char* caption, int left, int top, int room) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(name);
    layout_.PlaceLabel(label, left, top, room);
    return label;
}

void TTransferDialog::AddModeGroup(int left, int top) {
    GroupBox1 = new QGroupBox("Transfer Mode", this);
    GroupBox1->setObjectName("GroupBox1");
    layout_.Place(GroupBox1, left, top, 209, 41);
    rbASCII = new QRadioButton("ASCII", GroupBox1);
    rbASCII->setObjectName("rbASCII");
    layout_.Place(rbASCII, 8, 16, 60, 17);
    rbEBCDIC = new QRadioButton("EBCDIC", GroupBox1);
    rbEBCDIC->setObjectName("rbEBCDIC");
    layout_.Place(rbEBCDIC, 72, 16, 68, 17);
    rbBINARY = new QRadioButton("Binary", GroupBox1);
    rbBINARY->setObjectName("rbBINARY");
    layout_.Place(rbBINARY, 144, 16, 60, 17);
    PresetMode(0);
}

void TTransferDialog::PresetMode(int transferTypeCode) {
    if (rbASCII == nullptr) return;
    QRadioButton* mode = transferTypeCode == 1 ? rbASCII : transferTypeCode == 3 ? rbEBCDIC : rbBINARY;
    mode->setChecked(true);
}

void TTransferDialog::accept() {
    if (remoteField_ != nullptr && remoteField_->text().isEmpty()) {
        if (Prompts != nullptr)
            Prompts->MessageBox("Please enter the name of the remote file.", "Remote Name", PromptButtons::Ok,
                                PromptIcon::Exclamation);
        remoteField_->setFocus();
        return;
    }
    QDialog::accept();
}

void TTransferDialog::AddButtons(int left) {
    OKBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    layout_.Place(OKBtn, left, 8, kButtonWidth, kButtonHeight);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    CancelBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Cancel", this);
    CancelBtn->setObjectName("CancelBtn");
    layout_.Place(CancelBtn, left, 40, kButtonWidth, kButtonHeight);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TTransferDialog::TabOrder(std::initializer_list<QWidget*> controls) {
    QWidget* previous = nullptr;
    for (QWidget* w : controls) {
        if (previous != nullptr) setTabOrder(previous, w);
        previous = w;
    }
}

std::string TTransferDialog::ChosenTypeCommand() const {
    if (rbASCII->isChecked()) return "TYPE A";
    if (rbBINARY->isChecked()) return "TYPE I";
    return "TYPE E";
}

// A framed bevel round the fields, behind them.
static void Bevel(QWidget* dialog, DesignLayout& layout, int width, int height) {
    auto* bevel = new QFrame(dialog);
    bevel->setObjectName("Bevel1");
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    layout.Place(bevel, 8, 8, width, height);
    bevel->lower();
}

TGetDLG::TGetDLG(QWidget* parent) : TTransferDialog("GetDLG", "Retrieve File", 347, 136, parent) {
    Bevel(this, layout_, 252, 120);
    Label1 = AddLabel("Label1", "Filename to Get: ", 32, 23, 89);
    FileName = AddEdit("FileName", 125, 19);
    Label2 = AddLabel("Label2", "Local Name: ", 48, 48, 73);
    LocalName = AddEdit("LocalName", 125, 44);
    AddModeGroup(37, 72);
    AddButtons(268);
    TabOrder({FileName, LocalName, rbASCII, OKBtn, CancelBtn});
    FileName->installEventFilter(this);
    // Enter right after the remote name confirms it as Tab would, and then the dialog.
    connect(FileName, &QLineEdit::returnPressed, this, &TGetDLG::FileNameExit);
    remoteField_ = FileName;
    Finish();
}

void TGetDLG::FileNameExit() { LocalName->setText(FileName->text()); }

void TGetDLG::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FileName->setFocus();
}

bool TGetDLG::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FileName && LeftByUser(event)) FileNameExit();
    return QDialog::eventFilter(watched, event);
}

TPutDLG::TPutDLG(QWidget* parent) : TTransferDialog("PutDLG", "Send File", 366, 134, parent) {
    Bevel(this, layout_, 270, 118);
    Label1 = AddLabel("Label1", "Filename to Put: ", 24, 24, 97);
    FileName = AddEdit("FileName", 125, 20);
    Browse = new QPushButton("...", this);
    Browse->setObjectName("Browse");
    QFont bold = Browse->font();
    bold.setBold(true);
    Browse->setFont(bold);
    Browse->setAutoDefault(false);
    layout_.Place(Browse, 248, 18, 25, 25);
    connect(Browse, &QPushButton::clicked, this, &TPutDLG::BrowseClick);
    Label2 = AddLabel("Label2", "Remote Name: ", 28, 49, 93);
    RemoteName = AddEdit("RemoteName", 125, 45);
    AddModeGroup(37, 73);
    AddButtons(284);
    TabOrder({FileName, RemoteName, rbASCII, OKBtn, CancelBtn, Browse});
    FileName->installEventFilter(this);
    connect(FileName, &QLineEdit::returnPressed, this, &TPutDLG::FileNameExit);
    remoteField_ = RemoteName;
    Finish();
}

std::string TPutDLG::RemoteNameFor(const std::string& localPath) {
    const size_t cut = localPath.find_last_of(kPathSep);
    return cut == std::string::npos ? localPath : localPath.substr(cut + 1);
}

void TPutDLG::FileNameExit() { RemoteName->setText(ToQt(RemoteNameFor(Text(FileName)))); }

void TPutDLG::BrowseClick() {
    // Only an existing file can be chosen; its name becomes the remote name.
    const QString chosen = QFileDialog::getOpenFileName(this, QString(), FileName->text(), "All files (*)");
    if (chosen.isEmpty()) return;
    FileName->setText(chosen);
    FileNameExit();
    RemoteName->setFocus();
}

std::string TPutDLG::PutTypeCommand(const std::string& current) const {
    std::string type = current;
    if (rbASCII->isChecked()) type = "TYPE A";
    if (rbEBCDIC->isChecked()) type = "TYPE E";
    if (rbBINARY->isChecked()) type = "TYPE I";
    return type;
}

bool TPutDLG::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FileName && LeftByUser(event)) FileNameExit();
    return QDialog::eventFilter(watched, event);
}

TViewDLG::TViewDLG(QWidget* parent) : TTransferDialog("ViewDLG", "ViewFile", 371, 108, parent) {
    Bevel(this, layout_, 276, 96);
    Label1 = AddLabel("Label1", "Filename to view: ", 24, 23, 97);
    FileName = AddEdit("FileName", 125, 19);
    AddModeGroup(37, 56);
    AddButtons(292);
    TabOrder({FileName, rbASCII, OKBtn, CancelBtn});
    remoteField_ = FileName;
    Finish();
}

void TViewDLG::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FileName->setFocus();
}

TRenDLG::TRenDLG(QWidget* parent) : TTransferDialog("RenDLG", "Rename Remote File", 340, 85, parent) {
    Bevel(this, layout_, 244, 72);
    Label1 = AddLabel("Label1", "Rename From: ", 24, 24, 84);
    FileFrom = AddEdit("FileFrom", 112, 20);
    Label2 = AddLabel("Label2", "Rename To: ", 34, 52, 74);
    FileTo = AddEdit("FileTo", 112, 48);
    AddButtons(260);
    TabOrder({FileFrom, FileTo, OKBtn, CancelBtn});
    Finish();
}

void TRenDLG::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FileFrom->setFocus();
}

}  // namespace vollum
