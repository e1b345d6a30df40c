// Identifiers of Setup's resources (setup.rc).
#ifndef RUNEFLOW_SETUP_RESOURCE_H
#define RUNEFLOW_SETUP_RESOURCE_H

#define IDD_SETUP 132     // the dialog of an interactive run
#define IDC_INSTALL 1001  // its "Install" button, and the dialog's end code when it is clicked
#define IDC_REMOVE 1002   // its "Remove" button, likewise

#endif
