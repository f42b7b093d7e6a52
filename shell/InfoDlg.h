#pragma once

#include "document/InfoRecords.h"

#include <QDialog>
#include <QString>

#include <array>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class UserMessages;
}

namespace morvex {
class CLabels;
}

namespace morvex::shell {

class OperationHost;

// The Info dialog: the file info and the box info. Show mode only shows;
// edit mode lets the user change the file texts and, once box info has been
// received, box versions 2..7 and send them to the box.
//
// File texts in the records are Windows-1252 bytes as in the data file;
// box texts are UTF-8.
class CInfoDlg : public QDialog {
    Q_OBJECT
public:
    enum Field {
        FileSave,
        FileVersion1,
        FileVersion2,
        FileVersion3,
        LastTransfer,
        BoxVersion1,
        BoxVersion2,
        BoxVersion3,
        BoxVersion4,
        BoxVersion5,
        BoxVersion6,
        BoxVersion7,
        IECounter,
        StartCounter,
        FieldCount
    };

    static constexpr int kFileVersionLength = 16;
    static constexpr int kCommentLength = 200; // line breaks count as two ("\r\n")
    static constexpr int kBoxVersionLength = 8;
    static constexpr int kBoxVersion7Length = 16;

    // `dateFormat` writes a valid date in the user's locale form. The
    // transfers run through `host`, which fills the records from the box.
    CInfoDlg(CInfoRecords& records, const CLabels& labels, bool editMode, OperationHost& host,
             platform::UserMessages& messages, DateFormatter dateFormat, QWidget* parent = nullptr);

    // Whether the file texts in the records differ from when the dialog
    // opened; the frame then marks the document modified.
    bool fileTextsChanged() const;
    // Whether box values were changed in the dialog and not sent yet.
    bool boxValuesChanged() const { return boxChanged_; }

    // Fills the box part of the dialog from the records again.
    void refreshBoxInfo();

    QLineEdit* field(Field f) const { return fields_[static_cast<std::size_t>(f)]; }
    QPlainTextEdit* commentEdit() const { return comment_; }
    QPushButton* receiveButton() const { return receive_; }
    QPushButton* sendButton() const { return send_; }
    QPushButton* okButton() const { return ok_; }

    // Comment text as the records keep it ("\r\n" between lines) and its
    // length as the limit counts it.
    static std::string commentForRecord(const QString& shown);
    static qsizetype recordLength(const QString& shown);

public slots:
    // OK: stores the fields and, when box values were changed and not sent,
    // asks whether to send them first.
    void accept() override;

private:
    void loadFileInfo();
    void storeFields();
    bool sendBoxInfo();
    void receiveBoxInfo();
    bool runTransfer(bool sending);
    void limitComment(int position, int added);
    static int limitOf(Field f);
    void setLimitedText(Field f, const QString& text);
    void onEdited(Field f, const QString& now);

    CInfoRecords& records_;
    bool editMode_;
    OperationHost& host_;
    platform::UserMessages& messages_;
    DateFormatter dateFormat_;
    CFileInfo fileAtStart_;

    std::array<QLineEdit*, FieldCount> fields_{};
    std::array<QString, FieldCount> shown_; // the texts as loaded, to store only what was edited
    QPlainTextEdit* comment_ = nullptr;
    QString commentShown_;
    QPushButton* receive_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* ok_ = nullptr;
    bool boxChanged_ = false;
    bool loading_ = false;
};

} // namespace morvex::shell
