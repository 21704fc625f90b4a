// The headers most test sources include, compiled once per build and shared
// by every test binary: GoogleTest, Qt's widgets and test library and
// GStreamer are most of what compiling a test costs.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QString>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>
