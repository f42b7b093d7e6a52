#include "document/DocManager.h"

#include "document/DataFile.h"
#include "document/DocumentLog.h"
#include "document/MorvexDoc.h"
#include "platform/UserMessages.h"

#include <memory>

namespace morvex {
namespace {

void showStop(platform::UserMessages& messages, const std::string& text)
{
    messages.show({text, platform::UserMessage::Icon::Stop, platform::UserMessage::Buttons::Ok});
}

} // namespace

CMorvexDocManager::CMorvexDocManager(CMorvexDoc& doc, platform::UserMessages& messages,
                                     std::filesystem::path dataFolder, bool showDataPathAlwaysFirst)
    : doc_(doc), messages_(messages), dataFolder_(std::move(dataFolder)),
      showDataPathAlwaysFirst_(showDataPathAlwaysFirst)
{
}

CMorvexDocManager::DialogStart CMorvexDocManager::StartFileDialog(bool saveAs)
{
    DialogStart start;
    if (firstDialog_ || showDataPathAlwaysFirst_) {
        start.folder = dataFolder_;
        if (saveAs && !path_.empty()) {
            start.proposedFile = dataFolder_ / path_.filename();
        }
    }
    firstDialog_ = false;
    return start;
}

bool CMorvexDocManager::beforeReplace(RestoreReason reason, const std::filesystem::path& file) const
{
    return !beforeReplace_ || beforeReplace_(reason, file);
}

bool CMorvexDocManager::NewDocument()
{
    if (doc_.IsModified() && !beforeReplace(RestoreReason::New, path_)) {
        return false;
    }
    doc_.OnNewDocument();
    path_.clear();
    return true;
}

bool CMorvexDocManager::OpenCopy(const std::filesystem::path& path)
{
    if (!OpenDocumentFile(path)) {
        return false;
    }
    path_.clear();
    doc_.SetModifiedFlag(true);
    return true;
}

bool CMorvexDocManager::OpenDocumentFile(const std::filesystem::path& path)
{
    if (doc_.IsModified() && !beforeReplace(RestoreReason::Open, path_)) {
        return false;
    }
    // Read into a scratch document: a damaged file must not leave an empty
    // document under the old file's name, which a later Save would write.
    const CInfoRecords savedInfo = doc_.Info();
    const auto scratch = std::make_unique<CMorvexDoc>(doc_.Adapt(), doc_.Limits(), doc_.Info());
    const FileOutcome outcome = OpenDataFile(*scratch, path);
    if (!outcome.ok) {
        doc_.Info() = savedInfo;
        if (outcome.systemError) {
            documentLog().warning("cannot open " + path.string() + ": " + outcome.systemError.message());
        }
        showStop(messages_, outcome.message);
        return false;
    }
    doc_.TakeContentsFrom(*scratch);
    path_ = path;
    if (!outcome.message.empty()) {
        messages_.show({outcome.message});
    }
    return true;
}

bool CMorvexDocManager::save(const std::filesystem::path& path, bool inPlace)
{
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec) && !beforeReplace(RestoreReason::Save, path)) {
        return false;
    }
    const FileOutcome outcome = SaveDataFile(doc_, path, inPlace, platform::OleDateTime::now());
    if (!outcome.ok) {
        if (outcome.systemError) {
            documentLog().warning("cannot save " + path.string() + ": " + outcome.systemError.message());
        }
        showStop(messages_, outcome.message);
        return false;
    }
    path_ = path;
    return true;
}

bool CMorvexDocManager::Save()
{
    if (path_.empty()) {
        return false; // the GUI runs Save As instead
    }
    return save(path_, true);
}

bool CMorvexDocManager::SaveAs(const std::filesystem::path& path) { return save(path, false); }

bool CMorvexDocManager::CanReload() const { return doc_.IsModified() && !path_.empty(); }

bool CMorvexDocManager::Reload()
{
    if (!CanReload()) {
        return false;
    }
    const platform::UserAnswer answer = messages_.show(
        {kReloadQuestion, platform::UserMessage::Icon::Question, platform::UserMessage::Buttons::OkCancel});
    if (answer != platform::UserAnswer::Ok || !beforeReplace(RestoreReason::Reload, path_)) {
        return false;
    }
    doc_.SetModifiedFlag(false);
    if (!OpenDocumentFile(path_)) {
        // The edits are still there: they must not look saved.
        doc_.SetModifiedFlag(true);
        return false;
    }
    return true;
}

} // namespace morvex
