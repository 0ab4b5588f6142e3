#pragma once
// The About box shown on the way out: dialog template 100, no parent, nothing of its own.
#include "platform/app.h"
#include "res/resource.h"

class CAboutDialog : public CDialog {
public:
    CAboutDialog() : CDialog(IDD_ABOUTBOX, nullptr) {}
};
