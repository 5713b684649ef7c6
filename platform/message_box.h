// Modal message boxes with no owner window.
#pragma once

enum BoxIcon { BoxIconNone, BoxIconInformation, BoxIconExclamation, BoxIconStop, BoxIconQuestion };
// BoxYesNoDefaultNo: Enter, Escape and the close box answer No, for a question whose Yes must
// be chosen on purpose (trusting a certificate).
enum BoxButtons { BoxOk, BoxYesNo, BoxYesNoDefaultNo };
enum BoxAnswer { AnswerOk = 1, AnswerYes = 6, AnswerNo = 7 };

// With QIVRA_AUTO_ANSWER=yes|no in the environment no box is shown: caption,
// text and icon go to stderr as one line and the box answers by itself.
BoxAnswer ShowMessageBox(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons);
