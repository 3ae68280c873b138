// summed_window for a group of channels: the windows of K channels, one per
// lane, with their running sums added in double lanes. Every push appends one
// element; a window that then holds `dropAt` or more drops its oldest, so it
// grows by one per push until it holds dropAt and then keeps that size. The
// elements leaving are the oldest ones held, in order, and the rings move in
// bulk. Windows that a piece would run out of, or that would fill their
// storage, go through summed_window itself. Compiled once per instruction set
// (see channel_chain.cpp).

#if defined (ZORVALUNE_LANE_WINDOW_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_LANE_WINDOW_INL_H_
#undef ZORVALUNE_LANE_WINDOW_INL_H_
#else
#define ZORVALUNE_LANE_WINDOW_INL_H_
#endif

#include "lanes-inl.h"
#include "summed_window.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

template <int K, bool squares>
class lane_windows
{
    using L = lanes<K>;
    using DD = typename L::DD;
    using VD = typename L::VD;
    using window = summed_window<squares>;

public:
    // `dropAt[l]`: lane l's window drops its oldest element once a push
    // leaves it this many (or more) elements.
    lane_windows (window* const* lanesWindows, const int* dropAt, int count) noexcept
    {
        for (int l = 0; l < K; ++l)
        {
            windows[l] = lanesWindows[l];
            drop[l] = dropAt[l];
            const int held = windows[l]->size();
            const int firstDrop = std::max (0, std::min (count, dropAt[l] - held - 1));   // the first push that drops
            drops[l] = count - firstDrop;
            const int room = windows[l]->samples.capacity();

            // Never full before a push (that would drop an element of its own),
            // and room for the piece once the dropped elements are out.
            handled = handled && dropAt[l] >= 1 && drops[l] <= held && std::max (dropAt[l] - 1, held) < room
                              && held - drops[l] + count <= room;
        }
    }

    // Whether run can take every window through the piece.
    bool canRun() const noexcept { return handled; }

    // Pushes the `count` values of every lane (interleaved in `values`): the
    // rings move now, and step (j) then adds push j to the running sums.
    // `leaving` gets the elements dropped on the way, for the steps.
    void begin (const float* values, float* leaving, int count) noexcept
    {
        for (int l = 0; l < K; ++l)
        {
            auto& ring = windows[l]->samples;
            const int firstDrop = count - drops[l];
            ring.copyFront (leaving + firstDrop * K + l, drops[l], K);
            ring.pop_front (drops[l]);
            ring.append (values + l, count, K);
        }

        pushed = values;
        left = leaving;

        for (int p = 0; p < parts; ++p)
        {
            auto& s = sums[p];
            s.running = L::gatherPart (p, [&] (int l) { return windows[l]->sum; });
            s.fresh = L::gatherPart (p, [&] (int l) { return windows[l]->fresh; });
            s.held = L::gatherPart (p, [&] (int l) { return (double) windows[l]->freshCount; });
            s.dropAt = L::gatherPart (p, [&] (int l) { return (double) drop[l]; });

            // The size after each push: one more each step, up to the larger
            // of dropAt and the size the window came with.
            s.sizeAfterPush = L::gatherPart (p, [&] (int l) { return (double) (windows[l]->size() - count + drops[l]); });
            s.largest = hn::Max (s.dropAt, s.sizeAfterPush + hn::Set (DD(), 1.0));
        }
    }

    // Push j in the lanes of part p: returns the running sums after it and
    // its drop; `sizes` gets the windows' sizes then.
    VD step (int j, int p, VD& sizes) noexcept
    {
        const DD dd;
        const typename L::DH dh;
        const auto one = hn::Set (dd, 1.0);
        auto& s = sums[p];
        const int at = j * K + p * L::doubles;

        s.sizeAfterPush = hn::Min (s.sizeAfterPush + one, s.largest);
        const auto c = contribution (hn::PromoteTo (dd, hn::LoadU (dh, pushed + at)));
        s.running = s.running + c;
        s.fresh = s.fresh + c;
        s.held = s.held + one;

        // Once every element held arrived since the last fresh start, the
        // sum of additions alone replaces the running one.
        const auto restart = s.held >= s.sizeAfterPush;
        s.running = hn::IfThenElse (restart, s.fresh, s.running);
        s.fresh = hn::IfThenZeroElse (restart, s.fresh);
        s.held = hn::IfThenZeroElse (restart, s.held);

        const auto drops = s.sizeAfterPush >= s.dropAt;
        s.running = hn::IfThenElse (drops, s.running - contribution (hn::PromoteTo (dd, hn::LoadU (dh, left + at))), s.running);
        sizes = hn::IfThenElse (drops, s.sizeAfterPush - one, s.sizeAfterPush);
        return s.running;
    }

    // Hands the sums back to the windows.
    void end() noexcept
    {
        for (int p = 0; p < parts; ++p)
        {
            L::scatterPart (p, sums[p].running, [&] (int l, double x) { windows[l]->sum = x; });
            L::scatterPart (p, sums[p].fresh, [&] (int l, double x) { windows[l]->fresh = x; });
            L::scatterPart (p, sums[p].held, [&] (int l, double h) { windows[l]->freshCount = (int) h; });
        }
    }

    static constexpr int parts = L::parts;

private:
    struct part_sums { VD running, fresh, held, dropAt, sizeAfterPush, largest; };

    window* windows[K];
    int drop[K];
    int drops[K];   // pushes of this piece that drop an element
    bool handled = true;
    const float* pushed = nullptr;
    const float* left = nullptr;
    part_sums sums[L::parts];

    static VD contribution (VD v) noexcept { return squares ? v * v : v; }
};

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
