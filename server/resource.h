// Identifiers of Cobbleway's resources (cobbleway.rc).
#ifndef RUNEFLOW_SERVER_RESOURCE_H
#define RUNEFLOW_SERVER_RESOURCE_H

#define IDP_OLE_INIT_FAILED 100  // string: the object libraries could not be initialised
#define IDR_MAINFRAME 128        // the application icon

#endif
