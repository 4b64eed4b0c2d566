// Control ids of the test dialog; the self-test scripts use the numbers.
#pragma once
#define IDD_TEST 10
#define IDC_NAME 100
#define IDC_PASSWORD 101
#define IDC_GREETING 102
#define IDC_USE_PASSWORD 103
#define IDC_COLOR 104
#define IDC_CHOICE 105
#define IDC_LIST 106
#define IDC_ROW 107
#define IDC_ASK 108
#define IDC_ANSWER 109
#define IDC_HINT 110
#define IDC_TIMER_TEXT 111
#define IDC_HELP_TEXT 112
#define IDC_NOTHING 113
#define IDC_SLOW 114
