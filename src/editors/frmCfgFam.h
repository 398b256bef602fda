#pragma once
// The pager families editor.

#include "platform/forms.h"

#include <QWidget>

class frmCfgFam : public forms::Form<frmCfgFam, QWidget> {
    Q_OBJECT
public:
    explicit frmCfgFam(QWidget *parent = nullptr);

    // Set by OK when a family lacks a required field; the close asks while it is set.
    static inline bool bIncompleteRecord = false;

    void Form_Load();
    void Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode);
};
