#include "shell/StartupHooks.h"

void createServiceClients()
{
}

void openSharedDatasets()
{
}
