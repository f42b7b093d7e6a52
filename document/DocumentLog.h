#pragma once

#include "platform/Log.h"

namespace morvex {

// The log category of the document and its configuration files.
inline const platform::LogCategory& documentLog()
{
    static const platform::LogCategory category("morvex.document");
    return category;
}

} // namespace morvex
