// The check tree control on an offscreen display, driven by real mouse and key events.
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "catalogue/EFOpenError.h"
#include "catalogue/ETreeViewError.h"
#include "catalogue/TCheckTreeView.h"

class TestCheckTree : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TCheckTreeView> view;

    void Load(const QByteArray& text)
    {
        QBuffer buffer;
        buffer.setData(text);
        buffer.open(QIODevice::ReadOnly);
        view->LoadFromStream(buffer);
        view->FullExpand();
    }
    TTreeNode* Node(int index) { return view->Items()->Item(index); }
    QString States()
    {
        QString s;
        for (TTreeNode* n = view->Items()->GetFirstNode(); n; n = n->GetNext())
            s += n->StateIndex() < 0 ? QStringLiteral("-") : QString::number(n->StateIndex());
        return s;
    }
    // The check band lies left of the label, CheckWidth wide, at the start of the item's row.
    QPoint BandPoint(TTreeNode* node)
    {
        const QRect row = view->NodeRect(node);
        return QPoint(row.left() + view->CheckWidth / 2, row.center().y());
    }
    void ClickBand(TTreeNode* node) { QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, BandPoint(node)); }
    void ClickLabel(TTreeNode* node)
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->TextRect(node).center());
    }

private slots:
    void init()
    {
        view = std::make_unique<TCheckTreeView>();
        view->resize(400, 300);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }
    void cleanup() { view.reset(); }

    void createdAsDescribed()
    {
        QCOMPARE(view->CheckImages->Name(), QStringLiteral("CheckImages"));
        QCOMPARE(view->CheckImages->Count(), 4);
        QCOMPARE(view->CheckWidth, 16);
        QCOMPARE(view->ImagesWidth, 0);
        QVERIFY(view->CascadeChecks);
        QVERIFY(view->ShowCheckImage());
        QCOMPARE(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void pointerTogglesOnTheBandOnly()
    {
        view->CascadeChecks = false;
        Load("1F00first\n1F00second\n0F00hidden\n");
        ClickBand(Node(1));
        QCOMPARE(States(), QStringLiteral("120"));
        ClickBand(Node(1));
        QCOMPARE(States(), QStringLiteral("110"));
        ClickLabel(Node(0));
        QCOMPARE(view->Selected(), Node(0));
        QCOMPARE(States(), QStringLiteral("110"));
        ClickBand(Node(2));
        QCOMPARE(States(), QStringLiteral("110"));

        // A quick double click on the box is two toggles and leaves the node expanded state alone.
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, BandPoint(Node(0)));
        QCOMPARE(States(), QStringLiteral("110"));

        // Pressed on the box, released outside: nothing; a later label click must not toggle.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, BandPoint(Node(0)));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(States(), QStringLiteral("110"));
        ClickLabel(Node(0));
        QCOMPARE(States(), QStringLiteral("110"));
    }

    void spaceBarTogglesWithoutSearching()
    {
        view->CascadeChecks = false;
        Load("1F00a\n1F00 zed\n");
        view->SetSelected(Node(0));
        view->setFocus();
        QTest::keyClick(view.get(), Qt::Key_Space);
        QCOMPARE(States(), QStringLiteral("21"));
        QCOMPARE(view->Selected(), Node(0));  // the search would have jumped to " zed"
        QTest::keyClick(view.get(), Qt::Key_Space);
        QCOMPARE(States(), QStringLiteral("11"));
    }

    void radioGroupsSpanTheWholeTree()
    {
        view->CascadeChecks = false;
        Load("0F00P1\n\t2T05a\n\t1T05b\n\t2F00n\n0F00P2\n\t1T05c\n\t2T06d\n\t3T05g\n");
        view->RadioStates[3] = TRadioState{false, 5};  // in group 5 but not a radio member
        QCOMPARE(States(), QStringLiteral("0212 0123").remove(' '));
        ClickBand(Node(5));
        QCOMPARE(States(), QStringLiteral("01120223"));
        ClickBand(Node(5));
        QCOMPARE(States(), QStringLiteral("01120123"));

        // A grayed member becomes checked, and radio checking applies.
        ClickBand(Node(1));
        ClickBand(Node(7));
        QCOMPARE(States(), QStringLiteral("01120122"));
    }

    void cascadeDownAndUp()
    {
        Load("1F00root\n\t1F00a\n\t0F00hidden\n\t1F00b\n\t\t1F00b1\n\t\t1F00b2\n1F00other\n");
        ClickBand(Node(0));
        QCOMPARE(States(), QStringLiteral("2222221"));
        ClickBand(Node(4));  // b1 off: b and root become grayed
        QCOMPARE(States(), QStringLiteral("3223121"));
        ClickBand(Node(5));  // b2 off too: b unchecked, root still mixed
        QCOMPARE(States(), QStringLiteral("3221111"));
        ClickBand(Node(1));  // a off; the once hidden box was checked by the cascade down
        QCOMPARE(States(), QStringLiteral("3121111"));
        int childrenDone = 0;
        view->OnUpdateChildren = [&](QObject* sender) {
            QCOMPARE(sender, view.get());
            ++childrenDone;
        };
        ClickBand(Node(3));  // b on: b1 and b2 follow, root stays mixed because of a
        QCOMPARE(States(), QStringLiteral("3122221"));
        QCOMPARE(childrenDone, 1);

        view->CascadeChecks = false;
        ClickBand(Node(3));
        QCOMPARE(States(), QStringLiteral("3121221"));
        QCOMPARE(childrenDone, 1);
    }

    void refusedChangeIsNotReported()
    {
        view->CascadeChecks = false;
        Load("1T01a\n2T01b\n");
        QStringList told;
        view->OnStateChanging = [&](QObject*, TTreeNode* node, TCheckState, bool& allow) {
            if (node->Text() == "a")
                allow = false;
        };
        view->OnStateChange = [&](QObject*, TTreeNode* node, TCheckState state) {
            told << node->Text() + QString::number(state);
        };
        ClickBand(Node(0));
        QCOMPARE(States(), QStringLiteral("11"));  // a refused, yet its partner was unchecked
        QCOMPARE(told, QStringList{"b1"});
    }

    void checkImagesOffAndOnLeaveAllUnchecked()
    {
        Load("0F00a\n2F00b\n3F00c\n");
        view->SetShowCheckImage(false);
        QCOMPARE(States(), QStringLiteral("---"));
        ClickBand(Node(1));
        QTest::keyClick(view.get(), Qt::Key_Space);
        QCOMPARE(States(), QStringLiteral("---"));
        view->SetShowCheckImage(true);
        view->viewport()->repaint();
        QCOMPARE(States(), QStringLiteral("111"));
        // Nodes added without a state get a box at the next paint.
        view->Items()->AddChild(nullptr, "new");
        view->viewport()->repaint();
        QCOMPARE(States(), QStringLiteral("1111"));
    }

    void loaderErrorsLeaveTheControlUsable()
    {
        try {
            Load("2T01a\n\t1T01b\n\t\t\t2F00d\n");
            QFAIL("no error");
        } catch (const ETreeViewError& e) {
            QCOMPARE(QString(e.what()), QStringLiteral("Invalid level (3) for item \"d\""));
        }
        QCOMPARE(view->Items()->Count(), 2);
        QCOMPARE(view->RadioStates.size(), size_t(2));
        QVERIFY(!view->Items()->Updating());
        QVERIFY(view->updatesEnabled());
        view->FullExpand();
        ClickBand(Node(1));
        QCOMPARE(States(), QStringLiteral("22"));

        const QString missing = QDir::tempPath() + "/no-such-dir-checktree/Setup.conf";
        try {
            view->LoadFromFile(missing);
            QFAIL("no error");
        } catch (const EFOpenError& e) {
            QCOMPARE(QString(e.what()), "Cannot open file " + missing);
        }
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(EFOpenError, view->LoadFromFile(dir.path()));

        QFile file(dir.filePath("Setup.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("0F00Crosshairs\r\n\t2T01Crosshair-A.7z\r\n\t1T01Crosshair-B.7z\r\n\t1F00Sounds.rar");
        file.close();
        view->LoadFromFile(file.fileName());
        QCOMPARE(States(), QStringLiteral("0211"));
        QCOMPARE(view->topLevelItemCount(), 1);
        QCOMPARE(Node(0)->ViewItem()->childCount(), 3);
    }

    void boxesLookAsDescribed()
    {
        view->CascadeChecks = false;
        Load("0F00Crosshairs\n\t2T01Crosshair-A.7z\n\t1T01Crosshair-B.7z\n\t3F00Partly.zip\n"
             "\t0F00File \"x.7z\" not found\n");
        view->SetSelected(Node(2));
        view->viewport()->repaint();
        const QImage shot = view->viewport()->grab().toImage();
        QDir().mkpath(SCREENSHOT_DIR);
        QVERIFY(shot.save(SCREENSHOT_DIR "/checktree.png"));

        const QColor window = view->palette().color(QPalette::Base);
        const QColor highlight = view->palette().color(QPalette::Highlight);
        auto pixel = [&](TTreeNode* node, int x, int y) {
            const QRect row = view->NodeRect(node);
            const QPoint box(row.left() + 2, row.top() + (row.height() - 16) / 2 + 2);
            return shot.pixelColor(box + QPoint(x, y));
        };
        for (int i : {1, 2, 3}) {
            QCOMPARE(pixel(Node(i), 0, 0), QColor(0xC0, 0xC0, 0xC0));
            QCOMPARE(pixel(Node(i), 12, 12), QColor(0xC0, 0xC0, 0xC0));
            QCOMPARE(pixel(Node(i), 1, 1), window);    // the shadows take the window colour
            QCOMPARE(pixel(Node(i), 11, 11), window);
        }
        QCOMPARE(pixel(Node(1), 6, 6), highlight);    // the tick
        QCOMPARE(pixel(Node(2), 6, 6), window);       // unchecked: empty inside
        QCOMPARE(pixel(Node(3), 3, 3), highlight);    // grayed: a filled square
        QCOMPARE(pixel(Node(3), 9, 9), highlight);
        QCOMPARE(pixel(Node(4), 0, 0), window);       // hidden: no box at all
    }
};

QTEST_MAIN(TestCheckTree)
#include "test_checktree.moc"
