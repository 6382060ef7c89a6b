#include "dialog/enwdialogform.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>

namespace {

void setPolicy(QWidget *widget, QSizePolicy::Policy horizontal, QSizePolicy::Policy vertical)
{
    QSizePolicy policy(horizontal, vertical);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(widget->sizePolicy().hasHeightForWidth());
    widget->setSizePolicy(policy);
}

} // namespace

void EnwDialogForm::setupUi(QDialog *dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("EnwDialog"));
    dialog->resize(1183, 532);

    gridLayout_2 = new QGridLayout(dialog);
    gridLayout_2->setSpacing(6);
    gridLayout_2->setContentsMargins(11, 11, 11, 11);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));

    gridLayout = new QGridLayout();
    gridLayout->setSpacing(6);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));

    label = new QLabel(dialog);
    label->setObjectName(QStringLiteral("label"));
    gridLayout->addWidget(label, 0, 0, 1, 1);

    comboBoxEnw = new QComboBox(dialog);
    comboBoxEnw->setObjectName(QStringLiteral("comboBoxEnw"));
    setPolicy(comboBoxEnw, QSizePolicy::Expanding, QSizePolicy::Fixed);
    gridLayout->addWidget(comboBoxEnw, 0, 1, 1, 1);

    toolButtonOpenEnw = new QToolButton(dialog);
    toolButtonOpenEnw->setObjectName(QStringLiteral("toolButtonOpenEnw"));
    gridLayout->addWidget(toolButtonOpenEnw, 0, 2, 1, 1);

    label_3 = new QLabel(dialog);
    label_3->setObjectName(QStringLiteral("label_3"));
    gridLayout->addWidget(label_3, 1, 0, 1, 1);

    comboBoxSave = new QComboBox(dialog);
    comboBoxSave->setObjectName(QStringLiteral("comboBoxSave"));
    gridLayout->addWidget(comboBoxSave, 1, 1, 1, 1);

    toolButtonSave = new QToolButton(dialog);
    toolButtonSave->setObjectName(QStringLiteral("toolButtonSave"));
    gridLayout->addWidget(toolButtonSave, 1, 2, 1, 1);

    label_2 = new QLabel(dialog);
    label_2->setObjectName(QStringLiteral("label_2"));
    gridLayout->addWidget(label_2, 2, 0, 1, 1);

    comboBoxPath = new QComboBox(dialog);
    comboBoxPath->setObjectName(QStringLiteral("comboBoxPath"));
    setPolicy(comboBoxPath, QSizePolicy::Expanding, QSizePolicy::Fixed);
    gridLayout->addWidget(comboBoxPath, 2, 1, 1, 1);

    toolButtonOpenSearchPath = new QToolButton(dialog);
    toolButtonOpenSearchPath->setObjectName(QStringLiteral("toolButtonOpenSearchPath"));
    gridLayout->addWidget(toolButtonOpenSearchPath, 2, 2, 1, 1);

    gridLayout_2->addLayout(gridLayout, 0, 0, 1, 1);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setSpacing(6);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));

    horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout->addItem(horizontalSpacer);

    label_4 = new QLabel(dialog);
    label_4->setObjectName(QStringLiteral("label_4"));
    setPolicy(label_4, QSizePolicy::Minimum, QSizePolicy::Preferred);
    horizontalLayout->addWidget(label_4);

    spinBoxEditDis = new QSpinBox(dialog);
    spinBoxEditDis->setObjectName(QStringLiteral("spinBoxEditDis"));
    setPolicy(spinBoxEditDis, QSizePolicy::Maximum, QSizePolicy::Fixed);
    spinBoxEditDis->setMinimumSize(QSize(60, 0));
    spinBoxEditDis->setMaximum(10);
    spinBoxEditDis->setValue(2);
    horizontalLayout->addWidget(spinBoxEditDis);

    pushButton = new QPushButton(dialog);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    setPolicy(pushButton, QSizePolicy::Minimum, QSizePolicy::Preferred);
    pushButton->setMinimumSize(QSize(240, 0));
    pushButton->setFocusPolicy(Qt::StrongFocus);
    horizontalLayout->addWidget(pushButton);

    pushButtonReport = new QPushButton(dialog);
    pushButtonReport->setObjectName(QStringLiteral("pushButtonReport"));
    pushButtonReport->setEnabled(false);
    pushButtonReport->setAutoDefault(false);
    horizontalLayout->addWidget(pushButtonReport);

    pushButtonOpenFolder = new QPushButton(dialog);
    pushButtonOpenFolder->setObjectName(QStringLiteral("pushButtonOpenFolder"));
    pushButtonOpenFolder->setEnabled(false);
    pushButtonOpenFolder->setAutoDefault(false);
    horizontalLayout->addWidget(pushButtonOpenFolder);

    horizontalSpacer_2 = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout->addItem(horizontalSpacer_2);

    gridLayout_2->addLayout(horizontalLayout, 1, 0, 1, 1);

    textBrowser = new QTextEdit(dialog);
    textBrowser->setObjectName(QStringLiteral("textBrowser"));
    textBrowser->setReadOnly(true);
    gridLayout_2->addWidget(textBrowser, 2, 0, 1, 1);

    retranslateUi(dialog);

    QMetaObject::connectSlotsByName(dialog);
}

void EnwDialogForm::retranslateUi(QDialog *dialog)
{
    dialog->setWindowTitle(QCoreApplication::translate("EnwDialog", "Enw文件批处理", nullptr));
    label->setText(QCoreApplication::translate("EnwDialog", "原Enw文件", nullptr));
    comboBoxEnw->setWhatsThis(QString());
    toolButtonOpenEnw->setText(QCoreApplication::translate("EnwDialog", "...", nullptr));
    label_3->setText(QCoreApplication::translate("EnwDialog", "新Enw文件", nullptr));
    toolButtonSave->setText(QCoreApplication::translate("EnwDialog", "...", nullptr));
    label_2->setText(QCoreApplication::translate("EnwDialog", "搜索 目录", nullptr));
    toolButtonOpenSearchPath->setText(QCoreApplication::translate("EnwDialog", "...", nullptr));
    label_4->setText(QCoreApplication::translate("EnwDialog", "文献标题和附件名之间的编辑距离", nullptr));
    pushButton->setText(QCoreApplication::translate("EnwDialog", "开始处理", nullptr));
    pushButtonReport->setText(QCoreApplication::translate("EnwDialog", "保存报告…", nullptr));
    pushButtonOpenFolder->setText(QCoreApplication::translate("EnwDialog", "打开所在文件夹", nullptr));
}
