// Outlook Express as the program knows it.
#pragma once

#include "core/client_descriptor.h"

namespace quillbank {

[[nodiscard]] const ClientDescriptor& OutlookExpressClient();

}  // namespace quillbank
