#pragma once

#include <cstdint>

namespace osgTAVRI
{

// Median of the last five values, kept sorted by insertion: a new value drops the smallest
// or the largest alternately, so the middle tracks the recent values cheaply.
class StreamingMedian
{
public:
    void init()
    {
        for (std::int32_t& v : values)
            v = 0;
        high = true;
    }

    std::int32_t get() const { return values[2]; }

    void add(std::int32_t v)
    {
        if (high)
        {
            if (v < values[2])
            {
                values[4] = values[3];
                values[3] = values[2];
                if (v < values[0])
                {
                    values[2] = values[1];
                    values[1] = values[0];
                    values[0] = v;
                }
                else if (v < values[1])
                {
                    values[2] = values[1];
                    values[1] = v;
                }
                else
                    values[2] = v;
            }
            else
            {
                if (v < values[3])
                {
                    values[4] = values[3];
                    values[3] = v;
                }
                else
                    values[4] = v;
                high = false;
            }
        }
        else
        {
            if (values[2] < v)
            {
                values[0] = values[1];
                values[1] = values[2];
                if (values[4] < v)
                {
                    values[2] = values[3];
                    values[3] = values[4];
                    values[4] = v;
                }
                else if (values[3] < v)
                {
                    values[2] = values[3];
                    values[3] = v;
                }
                else
                    values[2] = v;
            }
            else
            {
                if (values[1] < v)
                {
                    values[0] = values[1];
                    values[1] = v;
                }
                else
                    values[0] = v;
                high = true;
            }
        }
    }

private:
    std::int32_t values[5] = {0, 0, 0, 0, 0};
    bool high = true;
};

} // namespace osgTAVRI
