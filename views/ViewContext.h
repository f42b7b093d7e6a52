#pragma once

#include <QFont>

namespace platform {
class MessageTarget;
class UserMessages;
} // namespace platform

namespace morvex {
class CMorvexDoc;
class CLabels;
class LambdaSensors;
} // namespace morvex

namespace morvex::views {

// What every table view gets from the application: the document, the
// labels, the frame (which queues changed values while online), the
// message service and the shared fonts.
struct ViewContext {
    CMorvexDoc* doc = nullptr;
    const CLabels* labels = nullptr;
    platform::MessageTarget* frame = nullptr;
    platform::UserMessages* messages = nullptr;
    // The lambda sensor chosen in the Data Record menu: its conversion shows
    // recorded lambda values.
    const LambdaSensors* sensors = nullptr;
    QFont gridFont;
    QFont captionFont;
    // The Fuel Map option of the application's settings (shared by every
    // fuel map view, written back at exit).
    int* useRightCylinderForLambdaCorrection = nullptr;
};

} // namespace morvex::views
