#include "shell/InfoDlg.h"

#include "document/Labels.h"
#include "platform/Encoding.h"
#include "platform/UserMessages.h"
#include "shell/InfoTransfer.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace morvex::shell {
namespace {

constexpr const char* kSendQuestion =
    "You have changed the box values.\n It is recommended to send them to the box!\n\nDo you want to send the values "
    "now?\n\nPress 'Yes' to send the values now.\nPress 'No' if you want to send them later.\nPress 'Cancel' to return "
    "to the info dialog.\n";

QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

QString fromFile(const std::string& bytes)
{
    return QString::fromStdString(platform::cp1252ToUtf8(bytes));
}

std::string toFile(const QString& text)
{
    return platform::utf8ToCp1252(text.toStdString());
}

QString label(const CLabels& labels, InfoLabel which)
{
    return fromFile(labels.info(which));
}

} // namespace

CInfoDlg::CInfoDlg(CInfoRecords& records, const CLabels& labels, bool editMode, OperationHost& host,
                   platform::UserMessages& messages, DateFormatter dateFormat, QWidget* parent)
    : QDialog(parent), records_(records), editMode_(editMode), host_(host), messages_(messages),
      dateFormat_(std::move(dateFormat)), fileAtStart_(records.file)
{
    setWindowTitle(tr("Info"));
    if (!dateFormat_) {
        dateFormat_ = [](platform::OleDateTime date) { return platform::formatGermanDate(date); };
    }
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i] = new QLineEdit(this);
        fields_[i]->setReadOnly(true);
    }
    comment_ = new QPlainTextEdit(this);
    comment_->setReadOnly(!editMode_);
    comment_->setTabChangesFocus(true);
    comment_->setFixedHeight(comment_->fontMetrics().lineSpacing() * 5 + 12);

    auto* fileBox = new QGroupBox(tr("File"), this);
    auto* fileForm = new QFormLayout(fileBox);
    fileForm->addRow(label(labels, InfoLabel::FileTime), field(FileSave));
    fileForm->addRow(label(labels, InfoLabel::FileVersion1), field(FileVersion1));
    fileForm->addRow(label(labels, InfoLabel::FileVersion2), field(FileVersion2));
    fileForm->addRow(label(labels, InfoLabel::FileVersion3), field(FileVersion3));
    fileForm->addRow(label(labels, InfoLabel::FileVersion4), comment_);

    auto* boxBox = new QGroupBox(tr("Box"), this);
    auto* boxForm = new QFormLayout(boxBox);
    boxForm->addRow(label(labels, InfoLabel::BoxTime), field(LastTransfer));
    const InfoLabel boxLabels[] = {InfoLabel::BoxVersion1, InfoLabel::BoxVersion2, InfoLabel::BoxVersion3,
                                   InfoLabel::BoxVersion4, InfoLabel::BoxVersion5, InfoLabel::BoxVersion6,
                                   InfoLabel::BoxVersion7};
    for (int i = 0; i < 7; ++i) {
        boxForm->addRow(label(labels, boxLabels[i]), field(static_cast<Field>(BoxVersion1 + i)));
    }
    boxForm->addRow(label(labels, InfoLabel::IECounter), field(IECounter));
    boxForm->addRow(label(labels, InfoLabel::StartCounter), field(StartCounter));

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton(QDialogButtonBox::Cancel);
    receive_ = buttons->addButton(tr("&Receive"), QDialogButtonBox::ActionRole);
    send_ = buttons->addButton(tr("&Send"), QDialogButtonBox::ActionRole);
    send_->setVisible(editMode_);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CInfoDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CInfoDlg::reject);
    connect(receive_, &QPushButton::clicked, this, [this] { receiveBoxInfo(); });
    connect(send_, &QPushButton::clicked, this, [this] { sendBoxInfo(); });

    auto* columns = new QHBoxLayout;
    columns->addWidget(fileBox);
    columns->addWidget(boxBox);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    // Only what the user types counts as a change, not the loading.
    for (int f = FileVersion1; f <= BoxVersion7; ++f) {
        if (f == LastTransfer || f == BoxVersion1) {
            continue;
        }
        const auto which = static_cast<Field>(f);
        connect(field(which), &QLineEdit::textEdited, this,
                [this, which](const QString& now) { onEdited(which, now); });
    }
    connect(comment_->document(), &QTextDocument::contentsChange, this,
            [this](int position, int /*removed*/, int added) { limitComment(position, added); });

    loadFileInfo();
    refreshBoxInfo();
}

int CInfoDlg::limitOf(Field f)
{
    switch (f) {
    case FileVersion1:
    case FileVersion2:
    case FileVersion3: return kFileVersionLength;
    case BoxVersion7: return kBoxVersion7Length;
    default: return kBoxVersionLength;
    }
}

void CInfoDlg::setLimitedText(Field f, const QString& text)
{
    QLineEdit* edit = field(f);
    // A longer text from an older file is shown whole rather than cut: it
    // may be shortened, not lengthened (onEdited).
    edit->setMaxLength(std::max(limitOf(f), static_cast<int>(text.size())));
    edit->setText(text);
    edit->setCursorPosition(0);
    shown_[static_cast<std::size_t>(f)] = text;
}

void CInfoDlg::onEdited(Field f, const QString& now)
{
    QLineEdit* edit = field(f);
    if (edit->maxLength() > limitOf(f)) {
        edit->setMaxLength(std::max(limitOf(f), static_cast<int>(now.size())));
    }
    if (f >= BoxVersion2) {
        boxChanged_ = true;
    }
}

void CInfoDlg::loadFileInfo()
{
    loading_ = true;
    field(FileSave)->setText(fromUtf8(fileSaveText(records_.file, dateFormat_)));
    for (int i = 0; i < 3; ++i) {
        const auto f = static_cast<Field>(FileVersion1 + i);
        setLimitedText(f, fromFile(records_.file.versions[static_cast<std::size_t>(i)]));
        field(f)->setReadOnly(!editMode_);
    }
    QString comment = fromFile(records_.file.comment);
    comment.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    comment_->setPlainText(comment);
    commentShown_ = comment_->toPlainText();
    loading_ = false;
}

void CInfoDlg::refreshBoxInfo()
{
    loading_ = true;
    const CBoxInfo& box = records_.box;
    const bool received = box.received.valid;
    field(LastTransfer)->setText(fromUtf8(lastTransferText(box, dateFormat_)));
    field(BoxVersion1)->setText(fromUtf8(boxVersion1Text(box)));
    for (int i = 1; i < 7; ++i) {
        const auto f = static_cast<Field>(BoxVersion1 + i);
        setLimitedText(f, fromUtf8(box.versions[static_cast<std::size_t>(i)]));
        field(f)->setReadOnly(!(editMode_ && received));
    }
    field(IECounter)->setText(fromUtf8(box.ieCounter));
    field(StartCounter)->setText(fromUtf8(box.startCounter));
    send_->setEnabled(editMode_ && received);
    loading_ = false;
}

qsizetype CInfoDlg::recordLength(const QString& shown)
{
    return shown.size() + shown.count(QLatin1Char('\n'));
}

std::string CInfoDlg::commentForRecord(const QString& shown)
{
    QString text = shown;
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return toFile(text);
}

void CInfoDlg::limitComment(int position, int added)
{
    if (loading_ || added <= 0) {
        return;
    }
    const QString text = comment_->toPlainText();
    qsizetype length = recordLength(text);
    if (length <= kCommentLength) {
        return;
    }
    // Give back the end of what was just typed or pasted, as much as needed;
    // text that was there before stays.
    const qsizetype end = std::min<qsizetype>(position + added, text.size());
    qsizetype start = end;
    while (length > kCommentLength && start > position) {
        --start;
        length -= text[start] == QLatin1Char('\n') ? 2 : 1;
    }
    if (start == end) {
        return;
    }
    loading_ = true;
    QTextCursor cursor(comment_->document());
    cursor.setPosition(static_cast<int>(start));
    cursor.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    loading_ = false;
    QApplication::beep();
}

void CInfoDlg::storeFields()
{
    auto edited = [this](Field f) {
        const QString now = field(f)->text();
        QString& before = shown_[static_cast<std::size_t>(f)];
        if (now == before) {
            return false;
        }
        before = now;
        return true;
    };
    if (editMode_) {
        for (int i = 0; i < 3; ++i) {
            const auto f = static_cast<Field>(FileVersion1 + i);
            if (edited(f)) {
                records_.file.versions[static_cast<std::size_t>(i)] = toFile(field(f)->text());
            }
        }
        const QString comment = comment_->toPlainText();
        if (comment != commentShown_) {
            records_.file.comment = commentForRecord(comment);
            commentShown_ = comment;
        }
    }
    if (editMode_ && records_.box.received.valid) {
        for (int i = 1; i < 7; ++i) {
            const auto f = static_cast<Field>(BoxVersion1 + i);
            if (edited(f)) {
                records_.box.versions[static_cast<std::size_t>(i)] = field(f)->text().toStdString();
            }
        }
    }
}

bool CInfoDlg::fileTextsChanged() const
{
    return records_.file.versions != fileAtStart_.versions || records_.file.comment != fileAtStart_.comment;
}

bool CInfoDlg::runTransfer(bool sending)
{
    CInfoTransfer transfer(sending, host_, this);
    return transfer.exec() == QDialog::Accepted;
}

bool CInfoDlg::sendBoxInfo()
{
    storeFields();
    const bool sent = runTransfer(true);
    refreshBoxInfo();
    if (sent) {
        boxChanged_ = false;
    }
    return sent;
}

void CInfoDlg::receiveBoxInfo()
{
    // A failed receive leaves the records as they were, and the fields as
    // the user left them.
    if (runTransfer(false)) {
        refreshBoxInfo();
        boxChanged_ = false;
    }
}

void CInfoDlg::accept()
{
    storeFields();
    if (boxChanged_) {
        platform::UserMessage question;
        question.text = kSendQuestion;
        question.icon = platform::UserMessage::Icon::Question;
        question.buttons = platform::UserMessage::Buttons::YesNoCancel;
        switch (messages_.show(question)) {
        case platform::UserAnswer::Yes:
            if (!sendBoxInfo()) {
                return;
            }
            break;
        case platform::UserAnswer::No: break;
        default: return; // back to the dialog
        }
    }
    QDialog::accept();
}

} // namespace morvex::shell
