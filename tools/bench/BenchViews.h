#pragma once

// What a view benchmark needs around its view: the installation's core, a
// new document, a message service that shows nothing, and the view context.
#include "document/AppCore.h"
#include "document/LambdaSensors.h"
#include "document/MorvexDoc.h"
#include "platform/UserMessages.h"
#include "views/ViewContext.h"

#include <cstdio>
#include <memory>
#include <string>

namespace morvex::bench {

class SilentMessages : public platform::UserMessages {
public:
    platform::UserAnswer show(const platform::UserMessage&) override
    {
        ++shown;
        return platform::UserAnswer::Ok;
    }
    long shown = 0;
};

struct BenchViews {
    // False (with the reason on stderr) when the installation does not start.
    bool start()
    {
        std::string message;
        if (!core.Start(MORVEX_PROGRAM_DIR, "en", message)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return false;
        }
        doc = std::make_unique<CMorvexDoc>(core.adapt(), core.limits(), core.info());
        doc->OnNewDocument();
        sensors.Enumerate(core.paths().cnf);
        context.doc = doc.get();
        context.labels = &core.labels();
        context.messages = &messages;
        context.sensors = &sensors;
        context.useRightCylinderForLambdaCorrection = &lambdaCorrection;
        return true;
    }

    CAppCore core;
    std::unique_ptr<CMorvexDoc> doc;
    LambdaSensors sensors;
    SilentMessages messages;
    int lambdaCorrection = 0;
    views::ViewContext context;
};

} // namespace morvex::bench
