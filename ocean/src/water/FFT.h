#pragma once

#include "Sea/MemObject.h"

namespace Sea
{

class Environment;

// Inverse 2-D transforms of the wave spectra. The water model writes the spectra of one
// frame into the inputs and reads the real fields from the outputs.
class FFT : public MemObject
{
public:
    // The back end for this platform: FFTW on the processor.
    static FFT* Create(Environment* environment);

    // `rows` x `columns` points, `count` transforms per frame.
    virtual bool Setup(int rows, int columns, int count, Environment* environment) = 0;
    // Runs every transform, inputs to outputs; the inputs are not preserved.
    virtual bool InverseTransform2D() = 0;
    // True: the inputs are half spectra of rows x (columns / 2 + 1) cells and the outputs real.
    // False: full complex spectra in and out.
    virtual bool TransformsRealData() const = 0;
    // True when the back end computes the whole frame itself from the initial amplitudes.
    virtual bool IsEndToEnd() const { return false; }
    virtual const char* GetName() const = 0;

    // Interleaved real and imaginary parts of transform i.
    virtual float* GetInput(int i) = 0;
    // Transform i: rows x columns reals, or complex values when the data is not real.
    virtual float* GetOutput(int i) = 0;

    // Transforms done so far; for diagnostics.
    unsigned long GetTransformCount() const { return transformCount; }

protected:
    unsigned long transformCount = 0;
};

} // namespace Sea
