#pragma once
// What this copy of the program and this computer are, for the bundled pages to show: a bug
// report that fills itself in, an update page that knows the installed version.
#include "web/BundledPages.h"

namespace bundled {

// VERSION, QT_VERSION, OS, WINE_PREFIX, REPORT_ADDRESS, MAKER_HOST and FORUMS_URL.
PageValues pageValues();

} // namespace bundled
