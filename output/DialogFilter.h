#pragma once
// File-dialog filters as the forms store them ("desc|pat;pat|desc|pat") to
// the name filters of QFileDialog ("desc (pat pat)").
#include <string>

#include <QStringList>

QStringList FilterToNameFilters(const std::string& filter);
