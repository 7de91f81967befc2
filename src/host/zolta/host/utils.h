// Every host-integration routine of the plug-in.
#pragma once

#include "zolta/host/errors.h"
#include "zolta/host/files.h"
#include "zolta/host/host_services.h"
#include "zolta/host/host_ui.h"
#include "zolta/host/parameters.h"
#include "zolta/host/text_utils.h"
#include "zolta/host/vendor_tools.h"
