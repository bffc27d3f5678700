#pragma once

// The job lists: the input list and the output list of the main window, whose entries at one
// index form one conversion job, and the rule that names a job's output.
//
// Both lists keep the order of the platform's sorted list boxes (case-insensitive, in the
// user's language) for the inputs. Each output goes to the index its input took, so the output
// list follows its inputs and a job's two entries never part, even where an output's name sorts
// differently from its input's (x.mpg beside x.b.avi).

#include <string>

class QListWidget;
class QString;

// Output naming rule: "<folder>/converted/<base>.avi", where base is the input's file name
// without its last extension (the whole name when it has none). "/v/clip.part1.mov" gives
// "/v/converted/clip.part1.avi"; "/a.avi" gives "/converted/a.avi".
[[nodiscard]] std::string OutputPathFor(const std::string& input);

// The output for input as a new job: the one already listed for the same input, so a file listed
// twice keeps one output; otherwise OutputPathFor(input), made distinct from every output of
// another input by " (2)", " (3)", ... before ".avi", so no job overwrites another's result.
[[nodiscard]] std::string OutputPathForJob(const QListWidget& inputs, const QListWidget& outputs,
                                           const std::string& input);

// Adds input to inputs at its sorted place and output to outputs at the same index; returns it.
int InsertJob(QListWidget& inputs, QListWidget& outputs, const QString& input, const QString& output);

// The order of the list texts a and b, as the platform's sorted list box compares them: below
// zero when a goes first.
[[nodiscard]] int CompareListTexts(const QString& a, const QString& b);
