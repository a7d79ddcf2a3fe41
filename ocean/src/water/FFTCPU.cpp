#include "water/FFTCPU.h"

#include "Sea/Allocator.h"
#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"

#include <cstring>
#include <mutex>

namespace Sea
{
namespace
{
// FFTW's planner is not thread-safe; its transforms are.
std::mutex& plannerMutex()
{
    static std::mutex m;
    return m;
}
} // namespace

FFT* FFT::Create(Environment* environment)
{
    if (!environment)
    {
        MessageChannel::Log("Null environment received in FFT::Create");
        return nullptr;
    }
    bool forceCPU = false;
    Configuration::GetBoolValue("fft-force-cpu", forceCPU);
    if (forceCPU)
        MessageChannel::Log("(INFO) CPU-based FFT forced by fft-force-cpu setting.");
    else
        MessageChannel::Log("Using FFTCPU, which really shouldn't happen. Did you move the sea library's FFT "
                            "DLL's out of your resources folder?");
    return new FFTCPU;
}

FFTCPU::FFTCPU(bool real) : realData(real) {}

FFTCPU::~FFTCPU() { Release(); }

void FFTCPU::Release()
{
    if (plan)
    {
        std::lock_guard<std::mutex> lock(plannerMutex());
        fftwf_destroy_plan(plan);
    }
    plan = nullptr;
    Allocator::GetAllocator()->Free(input);
    Allocator::GetAllocator()->Free(output);
    input = output = nullptr;
}

bool FFTCPU::Setup(int rowCount, int columnCount, int transforms, Environment*)
{
    Release();
    if (rowCount <= 0 || columnCount <= 0 || transforms <= 0)
    {
        MessageChannel::Log("Unable to create FFT plan in FFTCPU::Setup.");
        return false;
    }
    rows = rowCount;
    columns = columnCount;
    count = transforms;
    const size_t cells = size_t(rows) * size_t(realData ? columns / 2 + 1 : columns);
    inputStride = cells * 2;
    outputStride = size_t(rows) * size_t(columns) * (realData ? 1 : 2);

    input = static_cast<float*>(Allocator::GetAllocator()->Allocate(inputStride * size_t(count) * sizeof(float)));
    if (!input)
    {
        MessageChannel::Log("Unable to allocate memory for FFTCPU input buffer.");
        return false;
    }
    output = static_cast<float*>(Allocator::GetAllocator()->Allocate(outputStride * size_t(count) * sizeof(float)));
    if (!output)
    {
        MessageChannel::Log("Unable to allocate memory for FFTCPU output buffer.");
        Release();
        return false;
    }

    // Measuring overwrites the buffers, so it happens before anything is put in them.
    const int n[2] = {rows, columns};
    {
        std::lock_guard<std::mutex> lock(plannerMutex());
        if (realData)
            plan = fftwf_plan_many_dft_c2r(2, n, count, reinterpret_cast<fftwf_complex*>(input), nullptr, 1,
                                           int(inputStride / 2), output, nullptr, 1, int(outputStride), FFTW_MEASURE);
        else
            plan = fftwf_plan_many_dft(2, n, count, reinterpret_cast<fftwf_complex*>(input), nullptr, 1,
                                       int(inputStride / 2), reinterpret_cast<fftwf_complex*>(output), nullptr, 1,
                                       int(outputStride / 2), FFTW_BACKWARD, FFTW_MEASURE);
    }
    if (!plan)
    {
        MessageChannel::Log("Unable to create FFT plan in FFTCPU::Setup.");
        Release();
        return false;
    }
    std::memset(input, 0, inputStride * size_t(count) * sizeof(float));
    std::memset(output, 0, outputStride * size_t(count) * sizeof(float));
    return true;
}

bool FFTCPU::InverseTransform2D()
{
    if (!plan)
        return false;
    fftwf_execute(plan);
    transformCount += unsigned(count);
    return true;
}

float* FFTCPU::GetInput(int i) { return input && i >= 0 && i < count ? input + inputStride * size_t(i) : nullptr; }

float* FFTCPU::GetOutput(int i)
{
    return output && i >= 0 && i < count ? output + outputStride * size_t(i) : nullptr;
}

} // namespace Sea
