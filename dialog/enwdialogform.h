#ifndef ENWLINK_ENWDIALOGFORM_H
#define ENWLINK_ENWDIALOGFORM_H

class QComboBox;
class QDialog;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSpacerItem;
class QSpinBox;
class QTextEdit;
class QToolButton;

// The widgets of the one window, in order of creation. The record owns nothing:
// the widgets belong to the dialog, the layouts and spacers to their parent layouts.
struct EnwDialogForm
{
    QGridLayout *gridLayout_2 = nullptr;
    QGridLayout *gridLayout = nullptr;
    QLabel *label = nullptr;
    QComboBox *comboBoxEnw = nullptr;
    QToolButton *toolButtonOpenEnw = nullptr;
    QLabel *label_3 = nullptr;
    QComboBox *comboBoxSave = nullptr;
    QToolButton *toolButtonSave = nullptr;
    QLabel *label_2 = nullptr;
    QComboBox *comboBoxPath = nullptr;
    QToolButton *toolButtonOpenSearchPath = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QLabel *label_4 = nullptr;
    QSpinBox *spinBoxEditDis = nullptr;
    QPushButton *pushButton = nullptr;
    QPushButton *pushButtonReport = nullptr;
    QPushButton *pushButtonOpenFolder = nullptr;
    QSpacerItem *horizontalSpacer_2 = nullptr;
    QTextEdit *textBrowser = nullptr;

    void setupUi(QDialog *dialog);
    void retranslateUi(QDialog *dialog);
};

#endif
