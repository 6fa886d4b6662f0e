#pragma once

#include <QVariant>

#include <functional>

class Field;
class QObject;
class QString;

// The one place that knows how each kind of editor widget carries a value,
// so that the editors bind widgets to properties through Fields alone.
//
// Widget kinds and how their values travel: ColorLabel (colour), FontLabel
// (font), QLabel (shown only), QLineEdit and QTextEdit (plain text),
// QComboBox (the current item's Qt::UserRole data, matched exactly and
// case-sensitively), QCheckBox (bool: checked only when fully checked),
// QSlider and QSpinBox (int), QRadioButton (the field's value while checked).
//
// Editors of several objects at once also show that the objects differ
// (showMixed) and show no value at all (clear); for a combo box both take its
// first item to be a placeholder.
//
// User-interface thread only.
class FieldBinding
{
public:
    FieldBinding() = delete;

    // Calls changed, in context, whenever the field's widget changes. A combo
    // box reports a change of item, not of text: two items may carry the same
    // text (profiles of one name). Labels never report.
    static void onChange(Field *field, QObject *context, const std::function<void()> &changed);

    // What the widget shows: invalid for a label that only shows, -1 for an
    // unchecked radio button.
    static QVariant value(const Field *field);
    // What the widget has to store: as value(), but invalid where there is
    // nothing to store (a label that only shows, an unchecked radio button).
    static QVariant valueToStore(const Field *field);

    // Shows value in the widget. A radio button is checked when value is
    // its field's value and unchecked otherwise, so that a group may have
    // none checked; a check box loses a third state shown by showMixed.
    static void show(Field *field, const QVariant &value);
    // Shows that the objects edited together differ: text (e.g. "[Multiple]")
    // on a label or as a line edit's placeholder, a combo box's first item, a
    // partly checked check box, no radio button checked. Other kinds keep
    // what they show.
    static void showMixed(Field *field, const QString &text);
    // Ends the mixed look that outlasts a value: a line edit's placeholder.
    static void endMixed(Field *field);
    // Shows no value: empty line edits without placeholder, a combo box's
    // first item, unchecked two-state check boxes, no radio button checked.
    // Labels keep their text; other kinds keep what they show.
    static void clear(Field *field);
};
