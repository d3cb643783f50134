#pragma once

#include <QWidget>

#include <filesystem>

// Placeholder window until the real layout lands.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(std::filesystem::path contentDir, QWidget* parent = nullptr);

private:
    std::filesystem::path contentDir_;
};
