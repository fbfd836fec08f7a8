#pragma once

class QObject;

// Steps of the main window's creation and first showing that belong to
// other subsystems.

// FormCreate: the risk-command outbox (when the data module exists) and the
// risk-manager and order-server service clients, owned by owner (the data
// module).
void createServiceClients(QObject *owner);
// FormShow, after the rights gating: the right catalogue and the
// all-users query.
void openSharedDatasets();
