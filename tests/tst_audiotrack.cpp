#include <QtTest>
class TestAudioTrack : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestAudioTrack)
#include "tst_audiotrack.moc"
