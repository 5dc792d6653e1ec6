#include "login/CtarvinDlg.h"

CtarvinDlg::CtarvinDlg(CWnd* pParent) : CDialogEx(IDD, pParent) {}
