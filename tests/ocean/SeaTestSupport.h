#pragma once

#include "Sea/Allocator.h"
#include "Sea/MessageChannel.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace seatest
{

// The library's data tree as the build lays it out.
std::string resourceDirectory();

// Collects the library's message lines while it lives.
class MessageCapture : public Sea::MessageHandler
{
public:
    MessageCapture();
    ~MessageCapture() override;
    void Write(const char* line, bool alert) override;
    bool contains(const std::string& text) const;
    std::string all() const;
    std::vector<std::string> lines;
    std::vector<bool> alerts;
};

// Counts what is allocated through it and not yet freed; installed while it lives.
class CountingAllocator : public Sea::Allocator
{
public:
    CountingAllocator();
    ~CountingAllocator() override;
    void* Allocate(size_t bytes) override;
    void Free(void* pointer) override;
    size_t outstanding() const;
    size_t allocations() const { return count; }

private:
    Sea::Allocator* previous;
    mutable std::mutex mutex;
    std::map<void*, size_t> live;
    size_t count = 0;
};

// Each test starts with an empty configuration table and its own message capture.
class SeaTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Loads the shipped Sea.config, then applies `overrides` (a configuration text).
    void loadShippedConfiguration(const char* overrides = nullptr);
    MessageCapture messages;
};

// A bare X11 window with a GLX context, current while it lives.
class GLWindow
{
public:
    GLWindow(int width, int height);
    ~GLWindow();
    int width() const { return w; }
    int height() const { return h; }
    // RGB rows, bottom row first.
    std::vector<unsigned char> readPixels() const;
    void writePNG(const std::string& path) const;

private:
    int w, h;
    struct X11;
    X11* x11;
};

} // namespace seatest
