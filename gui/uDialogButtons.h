#pragma once
// The button row that closes a dialog: OK (the default button) and Cancel at the right.

class QHBoxLayout;
class QPushButton;
class QWidget;

// Creates btnOk and btnCancel on AParent (named for the translator) in a row pushed to the right.
QHBoxLayout* MakeOkCancelRow(QWidget* AParent, QPushButton*& VOk, QPushButton*& VCancel);
