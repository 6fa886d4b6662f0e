#include "widgets/fieldbinding.h"

#include "profiles/field.h"
#include "widgets/colorlabel.h"
#include "widgets/fontlabel.h"

// Qt
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTextEdit>

namespace {
// Exclusive buttons cannot all be unchecked, as a value that matches none of
// a group's buttons needs.
void setRadioChecked(QRadioButton *radio, bool checked)
{
    radio->setAutoExclusive(false);
    radio->setChecked(checked);
    radio->setAutoExclusive(true);
}
}

void FieldBinding::onChange(Field *field, QObject *context, const std::function<void()> &changed)
{
    QWidget *widget = field->widget;
    // The label kinds come first: they are QLabels without a change signal.
    if (dynamic_cast<ColorLabel *>(widget) || dynamic_cast<FontLabel *>(widget) || qobject_cast<QLabel *>(widget))
        return;
    if (auto *lineEdit = qobject_cast<QLineEdit *>(widget))
        QObject::connect(lineEdit, &QLineEdit::textChanged, context, changed);
    else if (auto *textEdit = qobject_cast<QTextEdit *>(widget))
        QObject::connect(textEdit, &QTextEdit::textChanged, context, changed);
    else if (auto *comboBox = qobject_cast<QComboBox *>(widget))
        QObject::connect(comboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), context, changed);
    else if (auto *checkBox = qobject_cast<QCheckBox *>(widget))
        QObject::connect(checkBox, &QCheckBox::stateChanged, context, changed);
    else if (auto *slider = qobject_cast<QSlider *>(widget))
        QObject::connect(slider, &QSlider::valueChanged, context, changed);
    else if (auto *spinBox = qobject_cast<QSpinBox *>(widget))
        QObject::connect(spinBox, QOverload<int>::of(&QSpinBox::valueChanged), context, changed);
    else if (auto *radioButton = qobject_cast<QRadioButton *>(widget))
        QObject::connect(radioButton, &QRadioButton::clicked, context, changed);
}

QVariant FieldBinding::value(const Field *field)
{
    QWidget *widget = field->widget;
    if (auto *colorLabel = dynamic_cast<ColorLabel *>(widget))
        return colorLabel->color();
    if (auto *fontLabel = dynamic_cast<FontLabel *>(widget))
        return fontLabel->selectedFont();
    if (qobject_cast<QLabel *>(widget))
        return QVariant();
    if (auto *lineEdit = qobject_cast<QLineEdit *>(widget))
        return lineEdit->text();
    if (auto *textEdit = qobject_cast<QTextEdit *>(widget))
        return textEdit->toPlainText();
    if (auto *comboBox = qobject_cast<QComboBox *>(widget))
        return comboBox->currentData(Qt::UserRole);
    if (auto *checkBox = qobject_cast<QCheckBox *>(widget))
        return checkBox->checkState() == Qt::Checked;
    if (auto *slider = qobject_cast<QSlider *>(widget))
        return slider->value();
    if (auto *spinBox = qobject_cast<QSpinBox *>(widget))
        return spinBox->value();
    if (auto *radioButton = qobject_cast<QRadioButton *>(widget))
        return radioButton->isChecked() ? field->value : -1;
    return QVariant();
}

QVariant FieldBinding::valueToStore(const Field *field)
{
    const QVariant shown = value(field);
    // Only radio buttons carry a field value, and -1 only while unchecked.
    if (field->value != -1 && shown.toInt() == -1)
        return QVariant();
    return shown;
}

void FieldBinding::show(Field *field, const QVariant &value)
{
    QWidget *widget = field->widget;
    if (auto *colorLabel = dynamic_cast<ColorLabel *>(widget))
        colorLabel->setColor(value.value<QColor>());
    else if (auto *fontLabel = dynamic_cast<FontLabel *>(widget))
        fontLabel->setSelectedFont(value.value<QFont>());
    else if (auto *label = qobject_cast<QLabel *>(widget))
        label->setText(value.toString());
    else if (auto *lineEdit = qobject_cast<QLineEdit *>(widget))
        lineEdit->setText(value.toString());
    // Plain text: a watermark text that looks like markup must come back unchanged.
    else if (auto *textEdit = qobject_cast<QTextEdit *>(widget))
        textEdit->setPlainText(value.toString());
    else if (auto *comboBox = qobject_cast<QComboBox *>(widget))
        comboBox->setCurrentIndex(comboBox->findData(value, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive));
    else if (auto *checkBox = qobject_cast<QCheckBox *>(widget)) {
        checkBox->setTristate(false);
        checkBox->setCheckState(value.toBool() ? Qt::Checked : Qt::Unchecked);
    } else if (auto *slider = qobject_cast<QSlider *>(widget))
        slider->setValue(value.toInt());
    else if (auto *spinBox = qobject_cast<QSpinBox *>(widget))
        spinBox->setValue(value.toInt());
    else if (auto *radioButton = qobject_cast<QRadioButton *>(widget))
        setRadioChecked(radioButton, value.isValid() && value.toInt() == field->value);
}

void FieldBinding::showMixed(Field *field, const QString &text)
{
    QWidget *widget = field->widget;
    if (dynamic_cast<ColorLabel *>(widget) || dynamic_cast<FontLabel *>(widget))
        return;
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        label->setText(text);
    } else if (auto *lineEdit = qobject_cast<QLineEdit *>(widget)) {
        lineEdit->setPlaceholderText(text);
        lineEdit->setText(QString());
    } else if (auto *comboBox = qobject_cast<QComboBox *>(widget)) {
        comboBox->setCurrentIndex(0);
    } else if (auto *checkBox = qobject_cast<QCheckBox *>(widget)) {
        checkBox->setTristate(true);
        checkBox->setCheckState(Qt::PartiallyChecked);
    } else if (auto *radioButton = qobject_cast<QRadioButton *>(widget)) {
        setRadioChecked(radioButton, false);
    }
}

void FieldBinding::endMixed(Field *field)
{
    if (auto *lineEdit = qobject_cast<QLineEdit *>(field->widget))
        lineEdit->setPlaceholderText(QString());
}

void FieldBinding::clear(Field *field)
{
    QWidget *widget = field->widget;
    if (auto *lineEdit = qobject_cast<QLineEdit *>(widget)) {
        lineEdit->setText(QString());
        lineEdit->setPlaceholderText(QString());
    } else if (auto *comboBox = qobject_cast<QComboBox *>(widget)) {
        comboBox->setCurrentIndex(0);
    } else if (auto *checkBox = qobject_cast<QCheckBox *>(widget)) {
        checkBox->setTristate(false);
        checkBox->setChecked(false);
    } else if (auto *radioButton = qobject_cast<QRadioButton *>(widget)) {
        setRadioChecked(radioButton, false);
    }
}
