#pragma once
// The pager groups editor.

#include "platform/forms.h"

#include <QWidget>

class frmCfgGroup : public forms::Form<frmCfgGroup, QWidget> {
    Q_OBJECT
public:
    explicit frmCfgGroup(QWidget *parent = nullptr);

    // Set by OK when a group lacks a pager ID; the close asks while it is set.
    static inline bool bIncompleteRecord = false;

    void Form_Load();
    void Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode);
    void Form_Unload();
};
