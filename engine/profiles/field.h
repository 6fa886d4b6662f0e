#pragma once

#include <QObject>

class QWidget;

// Ties one editor widget to one property name, so that editors copy values
// between widgets and profiles (or batch jobs) without knowing their class.
// A group of radio buttons is one Field per button, all naming the same
// property, each with the value the property takes when that button is checked.
//
// Owned by the dialog that creates it (its parent); holds no logic of its own.
class Field : public QObject
{
public:
    explicit Field(QObject *parent) : QObject(parent) {}

    const char *propertyName = nullptr;  // a string literal, e.g. "fileOutputPrefix"
    QWidget *widget = nullptr;           // not owned
    int value = -1;                      // radio buttons only; -1 for every other widget
};
