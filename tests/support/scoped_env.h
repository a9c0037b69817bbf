// The suites' earlier home of ScopedEnv (support/environment.h) and
// PrivateNamespace (support/private_namespace.h), kept until every suite
// includes those headers itself.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/environment.h"
#include "support/private_namespace.h"
