#include "platform/Engine.h"

Workspace& DefaultWorkspace() {
    static Workspace workspace;
    return workspace;
}
