// The database engine's one default workspace, which the program takes at start.
#pragma once

#include "platform/Database.h"

Workspace& DefaultWorkspace();
