#pragma once
// One change notification for the shared state: windows that show the database or depend on
// what the program is busy with listen to ModelEvents::changed instead of polling.

#include <QObject>

enum class ModelChange {
    DatabaseReplaced, // a file was opened, New cleared it, or a read filled it
    DatabaseModified, // the operator changed the database or the settings (MarkDatabaseModified)
    Busy,             // Run.busy changed (BusyScope)
};

class ModelEvents : public QObject {
    Q_OBJECT
public:
    static ModelEvents &instance();
signals:
    void changed(ModelChange what);
};

void NotifyModelChanged(ModelChange what);

// The operator changed the database or the settings: it no longer matches the encoder. Clears
// Run.bDBMatchesEncoder and tells the windows (the main window then disables the lookup, Send
// Messages and the "test" button and shows "Current Configuration Modified, Does Not Match
// Encoder"). Does nothing while program code fills the database (Run.bDBBusy()).
void MarkDatabaseModified();
