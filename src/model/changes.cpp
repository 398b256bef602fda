#include "model/changes.h"

#include "model/state.h"

ModelEvents &ModelEvents::instance()
{
    static ModelEvents events;
    return events;
}

void NotifyModelChanged(ModelChange what)
{
    emit ModelEvents::instance().changed(what);
}

void MarkDatabaseModified()
{
    if (Run.bDBBusy())
        return;
    Run.bDBMatchesEncoder = false;
    NotifyModelChanged(ModelChange::DatabaseModified);
}
