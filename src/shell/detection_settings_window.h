#pragma once
// "Ustawienia wykrywania": the smallest area that is motion and the bound
// above which a change is taken for a change of light, each as a percentage
// of the picture with a short line on what it does. The values are in
// hundredths of a percent, as the settings keep them.
#include <QDialog>

#include <cstdint>

class QDoubleSpinBox;

namespace qmd {

class DetectionSettingsWindow : public QDialog {
    Q_OBJECT
public:
    DetectionSettingsWindow(std::int32_t smallestArea, std::int32_t lightChange, QWidget* parent = nullptr);

    std::int32_t SmallestArea() const;
    std::int32_t LightChange() const;

    QDoubleSpinBox* SmallestAreaBox() const { return smallestArea_; }
    QDoubleSpinBox* LightChangeBox() const { return lightChange_; }

private:
    QDoubleSpinBox* smallestArea_ = nullptr;
    QDoubleSpinBox* lightChange_ = nullptr;
};

}  // namespace qmd
