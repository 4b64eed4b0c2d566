// Resource numbers of OrvaneChecker.
#ifndef ORVANE_CHECKER_RESOURCE_H
#define ORVANE_CHECKER_RESOURCE_H

#define IDS_APP_TITLE 103      // window title "OrvaneChecker"
#define IDI_ORVANECHECKER 107  // large icon
#define IDI_SMALL 108          // small icon
#define IDC_ORVANECHECKER 109  // window class "$$ORVANECHECKER$$"

#endif
