#pragma once
// The play window: loads the topics on its first show, answers every key press with a new or
// continued choice of topic, word and sound, and draws the scene.
#include "content/lists.h"
#include "shell/buffered_wnd.h"

class CPlayWnd : public CBufferedWnd {
public:
    CPlayWnd();
    ~CPlayWnd() override;

    void Draw(CDC* pDC) override;

    // Stops the sound worker (waiting for a playing sound, a few seconds at most; a worker stuck
    // in the audio driver is left there); safe to call more than once.
    void StopSoundWorker();

protected:
    // Test seam: a window whose construction starts neither the imaging library nor the worker.
    struct NoServices {};
    explicit CPlayWnd(NoServices);

    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnShowWindow(BOOL bShow, UINT nStatus);
    void LoadTopics();
    // A picture that does not decode drops its topic, as loading would have done.
    bool PictureDecodes(int topic);
    void DropTopic(int topic);
    void DropTopicsThatDoNotDecode();
    // Has the pictures of the next new choice decoded ahead (see play_wnd.cpp).
    void DecodeNextChoiceAhead();
    void DrawTopicTexts(CDC* pDC, CTopic* topic, RECT& screen);

    int m_nLastKey = -1;
    int m_nRepeatTotal = 0;
    bool m_bLoaded = false;
    int m_nTopic = -1;
    int m_nSound = -1;
    int m_nWord = -1;
    CTopicList m_topics;

private:
    // Only a window that started the worker stops it; test windows leave it alone.
    bool m_bOwnsWorker = false;
    // A key was answered and the next choice's pictures are not yet asked for (after the paint).
    bool m_bDecodeAheadDue = false;

    DECLARE_MESSAGE_MAP()
};
