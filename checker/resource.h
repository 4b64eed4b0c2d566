// Resource numbers of OrvaneChecker.
#ifndef ORVANE_CHECKER_RESOURCE_H
#define ORVANE_CHECKER_RESOURCE_H

#define IDS_APP_TITLE 103      // window title, ORVANE_CHECKER_TITLE_TEXT
#define IDI_ORVANECHECKER 107  // large icon
#define IDI_SMALL 108          // small icon
#define IDC_ORVANECHECKER 109  // window class, ORVANE_CHECKER_CLASS_TEXT

#endif
