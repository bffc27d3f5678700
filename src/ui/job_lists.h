#pragma once

// The job lists: the input list and the output list of the main window, whose entries at one
// index form one conversion job.
//
// Both lists keep the order of the platform's sorted list boxes (case-insensitive, in the
// user's language) for the inputs. Each output goes to the index its input took, so the output
// list follows its inputs and a job's two entries never part, even where an output's name sorts
// differently from its input's (x.mpg beside x.b.avi).

#include <string>

class QListWidget;
class QString;

// The output for input as a new job beside the jobs the lists hold, by the job naming rules.
[[nodiscard]] std::string OutputPathForJob(const QListWidget& inputs, const QListWidget& outputs,
                                           const std::string& input);

// Adds input to inputs at its sorted place and output to outputs at the same index, each with its
// whole text as its tooltip; returns the index.
int InsertJob(QListWidget& inputs, QListWidget& outputs, const QString& input, const QString& output);

// Makes the folder that output goes to when it is missing, with the user's default permissions.
// Its parent is not made; a folder that can't be made is left to the conversion to report.
void MakeOutputFolder(const std::string& output);

// The order of the list texts a and b, as the platform's sorted list box compares them: below
// zero when a goes first.
[[nodiscard]] int CompareListTexts(const QString& a, const QString& b);
