#pragma once
// EmailImageList: the account icons by account kind, 0 "Add a New
// Account...", 1 a generic SMTP account and the mail client, 2 GMail,
// 3 Yahoo, 4 AOL, 5 Live, 6 AIM, 7 MailCom; drawn by
// scripts/make-account-icons.py and compiled into the program. Used by the
// account list and the account dialog. Main thread only.
#include <QList>
#include <QPixmap>

const QList<QPixmap>& EmailImageList();
