#include "shell/StartupHooks.h"

void createServiceClients(QObject *)
{
}

void openSharedDatasets()
{
}
