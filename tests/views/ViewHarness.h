#pragma once

// What a table view needs around it in a widget test: the installation's
// core, a new document, a frame that records the change reports, a message
// service that records and answers.
#include "comm/PortCodes.h"
#include "document/AppCore.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "platform/MessageTarget.h"
#include "tests/document/RecordingMessages.h"
#include "views/ViewContext.h"

#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace morvex::test {

// The frame as a view reports to it: every changed byte.
class RecordedFrame : public platform::MessageTarget {
public:
    struct Change {
        int command;
        int lineAddress;
        int newValue;
        int oldValue;
    };
    void post(uint32_t, uintptr_t, intptr_t) override {}
    intptr_t send(uint32_t message, uintptr_t w, intptr_t l) override
    {
        if (message == comm::WM_BOX_VALUE_CHANGED) {
            changes.push_back({static_cast<int>(w & 0xFF), static_cast<int>(w >> 16), static_cast<int>(l & 0xFFFF),
                               static_cast<int>((l >> 16) & 0xFFFF)});
        }
        return 0;
    }
    std::vector<Change> changes;
};

// The context of a view on a new document of the built installation.
struct ViewHarness {
    ViewHarness()
    {
        std::string message;
        started = core.Start(MORVEX_PROGRAM_DIR, "en", message);
        doc = std::make_unique<CMorvexDoc>(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
        doc->OnNewDocument();
        context.doc = doc.get();
        context.labels = &core.labels();
        context.frame = &frame;
        context.messages = &messages;
        context.useRightCylinderForLambdaCorrection = &lambdaCorrection;
    }

    CAppCore core;
    bool started = false;
    std::unique_ptr<CMorvexDoc> doc;
    int lambdaCorrection = 0;
    RecordingMessages messages;
    RecordedFrame frame;
    views::ViewContext context;
};

// Types `text` over the cell and ends with Enter, as the user does: the
// first character opens the editor with it.
inline void typeInto(grid::CValueGridCtrl& grid, int row, int column, const QString& text)
{
    grid.SetSelectedRange(row, column, row, column);
    grid.SetFocusCell(row, column);
    QTest::keyClicks(&grid, text.left(1));
    if (grid.GetEditWnd() != nullptr) {
        QTest::keyClicks(grid.GetEditWnd(), text.mid(1));
        QTest::keyClick(grid.GetEditWnd(), Qt::Key_Return);
    }
}

} // namespace morvex::test
