#pragma once
// "Nagrywanie filmu": how much of the time before the motion and after its
// end a clip holds, and how much room the clips may take in their folder.
#include <QDialog>

#include <cstdint>

class QSpinBox;

namespace qmd {

class ClipSettingsWindow : public QDialog {
    Q_OBJECT
public:
    ClipSettingsWindow(std::int32_t secondsBefore, std::int32_t secondsAfter, std::int32_t limitMegabytes,
                       QWidget* parent = nullptr);

    std::int32_t SecondsBefore() const;
    std::int32_t SecondsAfter() const;
    std::int32_t LimitMegabytes() const;

private:
    QSpinBox* before_ = nullptr;
    QSpinBox* after_ = nullptr;
    QSpinBox* limit_ = nullptr;
};

}  // namespace qmd
