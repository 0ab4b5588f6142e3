// The play window's life and its key response. The scene itself is drawn in play_draw.cpp.
#include "play/play_wnd.h"

#include "content/topic.h"
#include "platform/files.h"
#include "platform/imaging.h"
#include "platform/runtime.h"
#include "sound/sound_worker.h"

#include <climits>
#include <ctime>

namespace {
// The pulse repeats every 80 steps of the total; wrapping by a multiple of that keeps the
// picture where it was instead of letting the total run past the int range.
constexpr int kPulseCycle = 80;
} // namespace

CPlayWnd::CPlayWnd()
{
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);
    crt::srand(static_cast<unsigned int>(std::time(nullptr)));
    ::StartSoundWorker();
    m_bOwnsWorker = true;
}

CPlayWnd::CPlayWnd(NoServices) {}

// The worker is stopped while everything it might still read exists; the topics go after this
// body, with the members.
CPlayWnd::~CPlayWnd()
{
    StopSoundWorker();
}

void CPlayWnd::StopSoundWorker()
{
    if (!m_bOwnsWorker)
        return;
    ::StopSoundWorker();
    m_bOwnsWorker = false;
}

BEGIN_MESSAGE_MAP(CPlayWnd, CBufferedWnd)
ON_KEY_MESSAGE(WM_SYSKEYDOWN, OnKeyDown)
ON_KEY_MESSAGE(WM_KEYDOWN, OnKeyDown)
ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

void CPlayWnd::OnShowWindow(BOOL /*bShow*/, UINT /*nStatus*/)
{
    Default();
    if (m_bLoaded)
        return;
    // Set first, so that whatever happens while loading, it happens once.
    m_bLoaded = true;
    LoadTopics();
    // Key code 0 is no real key and nothing has been requested yet: this is the first choice.
    OnKeyDown(0, 0, 0);
}

void CPlayWnd::OnKeyDown(UINT nChar, UINT nRepCnt, UINT /*nFlags*/)
{
    if (m_nLastKey >= 0 && nChar == static_cast<UINT>(m_nLastKey)) {
        long long total = static_cast<long long>(m_nRepeatTotal) + nRepCnt;
        if (total > INT_MAX)
            total -= (total - INT_MAX + kPulseCycle - 1) / kPulseCycle * kPulseCycle;
        m_nRepeatTotal = static_cast<int>(total);
    } else if (g_bSoundPending) {
        m_nLastKey = -1;
    } else if (g_bSoundPlaying) {
        m_nLastKey = -1;
    } else {
        const int count = m_topics.GetCount();
        m_nTopic = count > 0 ? TopicIndexFromDraw(crt::rand(), count) : -1;
        m_nWord = m_nTopic >= 0 ? m_topics.GetAt(m_nTopic)->GetWords().GetRandomIndex() : -1;
        m_nLastKey = static_cast<int>(nChar);
        m_nRepeatTotal = 0;
    }

    InvalidateRect(m_hWnd, nullptr, FALSE);

    // A waiting request is deliberately not looked at: the newer choice replaces it.
    if (m_nTopic < 0 || g_bSoundPlaying)
        return;
    const CTextList& sounds = m_topics.GetAt(m_nTopic)->GetSounds();
    m_nSound = sounds.GetRandomIndex();
    if (m_nSound < 0)
        return;
    PostSoundRequest(GetSoundsDir() + sounds.GetAt(m_nSound));
}

void CPlayWnd::LoadTopics()
{
    LoadTopicLibrary(m_topics, GetProgramDirectory());
}
