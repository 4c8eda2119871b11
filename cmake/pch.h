// The Qt headers nearly every file of the program includes, compiled once.
#pragma once
#include <QtCore>
#include <QtGui>
#include <QtSql>
#include <QtWidgets>
