// Converting through the window, with the file dialog stood in for by a
// script: what the status says before and after, failures, the backup, the
// packed conversion and undo.
#include "window_support.h"

class ConvertTest : public QObject {
    Q_OBJECT

private slots:
    void convertWithAPathMissingTouchesNothing() {
        for (const auto& [source, target, hint] :
             {std::tuple{false, false, "Tavro 1 and the Tavro 2"}, std::tuple{true, false, "Tavro 2 save state first"}, std::tuple{false, true, "Tavro 1 save state first"}}) {
            Fixture form;
            if (source) form.window->chooseSource(form.path(QStringLiteral("source.state")));
            if (target) form.window->chooseTarget(form.path(QStringLiteral("target.state")));
            ModalAnswerer guard;
            guard.expect([](QWidget* modal) { modal->close(); }, 3000);
            QVERIFY(form.showActive());
            QTest::keyClick(form.window->windowHandle(), Qt::Key_Return, Qt::ControlModifier);  // Converter's shortcut
            QTRY_VERIFY2(form.window->statusText().contains(QLatin1String(hint)), qPrintable(form.window->statusText()));
            guard.stop();
            QVERIFY2(!guard.answered(), "no window opens");
            QVERIFY(QDir(form.dir.path()).isEmpty());
        }
    }

    void runPatchesTheTargetAndUndoPutsItBack() {
        Fixture form;
        const QString target = form.copyOf(kSampleTarget, QStringLiteral("target.state"));
        const QByteArray before = readAll(target);
        form.window->chooseSource(kSampleSource);
        form.window->chooseTarget(target);

        form.click("Command3");
        QCOMPARE(readAll(target), convertedInMemory(readAll(kSampleSource), before));
        const QString report = form.window->statusText();
        QVERIFY2(report.startsWith(QString::fromUtf8("⚠ 3 cells arrived empty. Done, and checked.")), qPrintable(report));
        auto* undoButton = form.find<QToolButton>("undoButton");
        QVERIFY(form.window->canUndo() && undoButton->isEnabled());

        // Converting again changes nothing, and the first run can still be undone.
        form.click("Command3");
        QVERIFY(form.window->statusText().startsWith(QString::fromUtf8("⚠ 3 cells arrived empty. Already up to date:")));
        QVERIFY(form.showActive());
        QTest::keyClick(form.window->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(readAll(target), before);
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Undone")));
        QVERIFY(!form.window->canUndo() && !undoButton->isEnabled());

        // A target the run created is removed by undo.
        const QString created = form.path(QStringLiteral("new.state"));
        form.window->chooseTarget(created);
        form.click("Command3");
        QVERIFY(form.window->statusText().contains(QLatin1String("Created: the level only, not a whole save state")));
        QTest::mouseClick(undoButton, Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(created));

        // Undo refuses a target that something else changed since, and is not offered again.
        form.window->chooseTarget(target);
        form.click("Command3");
        const QByteArray changed = readAll(target).replace(0, 4, "EDIT");
        QVERIFY(writeAll(target, changed));
        ModalAnswerer answerer;
        const auto text = closeNextMessageBox(answerer);
        form.window->findChild<QAction*>(QStringLiteral("undoAction"))->trigger();
        QVERIFY(answerer.answered());
        QVERIFY2(text->contains(QLatin1String("has changed since the conversion")), qPrintable(*text));
        QCOMPARE(readAll(target), changed);
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Undo refused")));
        QVERIFY(!form.window->canUndo());
    }

    // The source chosen again as the target (under another name) is refused
    // as soon as both are chosen, and Converter writes nothing.
    void sameFileTwiceIsRefusedBeforeConverter() {
        Fixture form;
        const QString both = form.copyOf(kSampleSource, QStringLiteral("same.state"));
        const QByteArray before = readAll(both);
        form.window->chooseSource(both);
        form.window->chooseTarget(form.dir.path() + QStringLiteral("/./same.state"));
        QVERIFY2(form.window->statusText().startsWith(QString::fromUtf8("Not ready: the Tavro 2 save state — it is also the Tavro 1 save state, same.state: "
                                                                        "one file cannot be both the source and the target")),
                 qPrintable(form.window->statusText()));
        ModalAnswerer answerer;
        closeNextMessageBox(answerer);
        form.click("Command3");
        QVERIFY(answerer.answered());
        QCOMPARE(readAll(both), before);
    }

    // A Tavro 2 state chosen as the source (its name escaped in the window)
    // with a Tavro 1 target, text chosen as the target, and both a Tavro 2
    // source and a text target: the status says so, and Converter explains,
    // naming the doubtful file, and asks (a Yes for the source alone asks
    // about the target next); No leaves the target, Yes converts.
    void doubtfulFilesAreConvertedOnlyWhenAsked() {
        enum Doubt { Swapped, Target, Both };
        for (const Doubt doubt : {Swapped, Target, Both}) {
            for (const bool yes : {false, true}) {
                Fixture form;
                const QString source = doubt == Target ? kSampleSource : form.copyOf(kSampleTarget, QStringLiteral("two\x1b.state"));
                const QString target = doubt == Swapped ? form.copyOf(kSampleSource, QStringLiteral("one.state")) : form.path(QStringLiteral("diary\x1b.txt"));
                if (doubt != Swapped) QVERIFY(writeAll(target, QByteArray(200000, 'a')));
                const QByteArray before = readAll(target);
                form.window->chooseSource(source);
                if (doubt != Target) {
                    QVERIFY2(form.window->statusText().contains(QLatin1String("does not hold a Tavro 1 level")), qPrintable(form.window->statusText()));
                    QVERIFY(form.find<ElidedLabel>("Label1")->fullText().endsWith(QLatin1String("two\\x1b.state")));
                }
                form.window->chooseTarget(target);
                if (doubt == Target) QVERIFY2(form.window->statusText().contains(QLatin1String("it looks like text")), qPrintable(form.window->statusText()));
                ModalAnswerer answerer, next;
                auto texts = std::make_shared<QStringList>();
                const auto answer = [texts](bool given) -> ModalAnswerer::Answer {
                    return [texts, given](QWidget* modal) {
                        auto* box = qobject_cast<QMessageBox*>(modal);
                        if (!box || box->objectName() != QLatin1String("convertAnywayBox")) return modal->close(), void();
                        *texts << box->text();
                        QTest::mouseClick(box->button(given ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
                    };
                };
                // Both: Yes to the source, and the answer to the target's question next.
                answerer.expect(doubt == Both ? ModalAnswerer::Answer([&next, answer, yes](QWidget* modal) { answer(true)(modal), next.expect(answer(yes)); }) : answer(yes));
                form.click("Command3");
                QVERIFY(answerer.answered() && (doubt != Both || next.answered()));
                const QString source1 = QStringLiteral("two\\x1b"), target1 = QStringLiteral("diary\\x1b");
                const QStringList said = doubt == Swapped  ? QStringList{QStringLiteral("are the two swapped?"), source1}
                                         : doubt == Target ? QStringList{QStringLiteral("the file chosen as the Tavro 2 save state is not one"), target1}
                                                           : QStringList{QStringLiteral("does not hold a Tavro 1 level"), source1,
                                                                         QStringLiteral("the file chosen as the Tavro 2 save state is not one"), target1};
                QCOMPARE(texts->size(), said.size() / 2);
                for (qsizetype i = 0; i < said.size(); i += 2)
                    QVERIFY2(texts->at(i / 2).contains(said[i]) && texts->at(i / 2).contains(said[i + 1]), qPrintable(texts->at(i / 2)));
                QCOMPARE(readAll(target) == before, !yes);
                QCOMPARE(form.window->statusText().startsWith(QLatin1String("Not converted.")), !yes);
            }
        }
    }

    // A Tavro 2 state chosen as the source (its name escaped in the window):
    // the status names it and asks whether the two are swapped, Swap files is
    // offered, and Converter explains and asks; No leaves the target and says
    // what to do next (Swap files), Yes converts.
    void sourceWithoutAFirstGameLevelIsConvertedOnlyWhenAsked() {
        for (const bool yes : {false, true}) {
            Fixture form;
            const QString source = form.copyOf(kSampleTarget, QStringLiteral("two\x1b.state"));
            const QString target = form.copyOf(kSampleSource, QStringLiteral("one.state"));
            const QByteArray before = readAll(target);
            form.window->chooseSource(source);
            QVERIFY2(form.window->statusText().startsWith(QLatin1String("two\\x1b.state does not hold a Tavro 1 level")), qPrintable(form.window->statusText()));
            QVERIFY(form.find<ElidedLabel>("Label1")->fullText().endsWith(QLatin1String("two\\x1b.state")));
            QVERIFY(!form.find<QAction>("swapAction")->isEnabled());
            form.window->chooseTarget(target);
            QCOMPARE(form.window->statusText(), QStringLiteral("two\\x1b.state looks like a Tavro 2 save state: are the two files swapped?"));
            QVERIFY2(form.find("statusMessage")->toolTip().contains(QLatin1String("it reads as a Tavro 2 save state")), qPrintable(form.find("statusMessage")->toolTip()));
            QVERIFY(form.find<QAction>("swapAction")->isEnabled());
            ModalAnswerer answerer;
            auto text = std::make_shared<QString>();
            answerer.expect([text, yes](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (!box || box->objectName() != QLatin1String("convertAnywayBox")) return modal->close(), void();
                *text = box->text();
                QTest::mouseClick(box->button(yes ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
            });
            form.click("Command3");
            QVERIFY(answerer.answered());
            QVERIFY2(text->contains(QLatin1String("are the two swapped?")) && text->contains(QLatin1String("two\\x1b")), qPrintable(*text));
            QCOMPARE(readAll(target) == before, !yes);
            QCOMPARE(form.window->statusText().startsWith(QLatin1String("Not converted. Press Swap files")), !yes);
            QCOMPARE(form.find<QAction>("swapAction")->isEnabled(), !yes);
            if (yes) continue;
            // Swap files takes each file in the other's role and checks the pair again, writing nothing.
            QVERIFY(form.showActive());
            QTest::mouseClick(form.find<QToolButton>("swapButton"), Qt::LeftButton);
            QCOMPARE(std::pair(form.window->chosenSource(), form.window->chosenTarget()), std::pair(target, source));
            QVERIFY2(form.window->statusText().contains(QLatin1String("Convert packed carries")) && !form.find("swapButton")->isVisible(),
                     qPrintable(form.window->statusText()));
            QCOMPARE(std::pair(readAll(target), readAll(source)), std::pair(before, readAll(kSampleTarget)));
        }
    }

    // Cells the plain conversion would leave empty: Convert packed is offered
    // from the preview, before anything is written; it writes the packed
    // conversion, and Undo shows the preview (and the offer) again.
    void packedIsOfferedBeforeWritingAndWritesOnlyWhenChosen() {
        PictureFixture form;
        QVERIFY(form.showActive());
        const QString target = form.copyOf(kSampleTarget, QStringLiteral("target.state"));
        const QByteArray original = readAll(target);
        form.window->chooseSource(kSampleBig);
        form.window->chooseTarget(target);
        auto* offer = form.find<QToolButton>("packButton");
        QVERIFY(offer->isVisible() && offer->isEnabled() && !form.window->packs());
        QVERIFY2(form.window->statusText().startsWith(QString::fromUtf8("⚠ 19 cells would arrive empty (in red): Convert packed")), qPrintable(form.window->statusText()));
        QCOMPARE(readAll(target), original);
        QTest::mouseClick(offer, Qt::LeftButton);
        QCOMPARE(readAll(target), convertedInMemory(readAll(kSampleBig), original, core::ChunkNumbering::Packed));
        QVERIFY(form.window->packs() && !offer->isVisible());
        QVERIFY2(form.window->statusText().startsWith(QLatin1String("Done, and checked.")), qPrintable(form.window->statusText()));
        form.window->undoLastConversion();
        QCOMPARE(readAll(target), original);
        QVERIFY(!form.window->packs() && offer->isVisible());
        QVERIFY(form.drawn(Side::After) && form.picture->showsPreview() && form.picture->marks().size() == 19);
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Undone")));
    }

    void failedRunIsShownAndLeavesTheTarget() {
        // The source (empty: the sample), the target, the file the message names, and what it says.
        for (const auto& [source, target, failing, what] : {std::tuple{"missing.state", "target.state", "missing.state", "could not open the Tavro 1 save state"},
                                                            std::tuple{"short.state", "target.state", "short.state", "the Tavro 1 save state is too short"},
                                                            std::tuple{"", "no-folder/target.state", "no-folder/target.state", "Tavro 2 save state"}}) {
            Fixture form;
            QVERIFY(writeAll(form.path(QStringLiteral("short.state")), QByteArray(100, '\x01')));
            const QByteArray before = readAll(form.copyOf(kSampleTarget, QStringLiteral("target.state")));
            form.window->chooseSource(*source ? form.path(QLatin1String(source)) : kSampleSource);
            form.window->chooseTarget(form.path(QLatin1String(target)));
            ModalAnswerer answerer;
            const auto text = closeNextMessageBox(answerer);
            form.click("Command3");

            QVERIFY2(answerer.answered(), "a warning appears and is closed");
            QVERIFY2(text->contains(QLatin1String(what)), qPrintable(*text));
            QVERIFY2(text->endsWith(QLatin1String("The Tavro 2 save state was left unchanged.")), qPrintable(*text));
            QVERIFY2(text->contains(QDir::toNativeSeparators(form.path(QLatin1String(failing)))), qPrintable(*text));
            QCOMPARE(readAll(form.path(QStringLiteral("target.state"))), before);
            QVERIFY(form.window->statusText().startsWith(QLatin1String("Conversion failed")));
            QVERIFY(!form.window->canUndo());
        }
    }

    // "Ready" only for a pair a run would accept; otherwise the status names
    // the file in the way and why, and no preview is shown.
    void statusSaysReadyOnlyWhenAConversionWouldBeAccepted() {
        for (const auto& [source, target, status] : {std::tuple{"missing.state", "target.state", "Not ready: the Tavro 1 save state — No such file"},
                                                     {"short.state", "target.state", "Not ready: the Tavro 1 save state — it is too short to hold a level: 100 bytes"},
                                                     {"two.state", "target.state", "two.state does not hold a Tavro 1 level: is it a Tavro 2 save state?"},
                                                     {"one.state", "short.state", "Not ready: the Tavro 2 save state — it is too short"},
                                                     {"one.state", "target.state", "⚠ 3 cells would arrive empty (in red): Convert packed carries"},
                                                     {"one.state", "new.state", "⚠ 3 cells would arrive empty (in red): Convert packed carries"}}) {
            PictureFixture form;
            QVERIFY(writeAll(form.path(QStringLiteral("short.state")), QByteArray(100, '\x01')));
            for (const auto& [sample, name] : {std::pair{kSampleSource, "one.state"}, {kSampleTarget, "two.state"}, {kSampleTarget, "target.state"}})
                form.copyOf(sample, QLatin1String(name));
            form.window->chooseSource(form.path(QLatin1String(source)));
            form.window->chooseTarget(form.path(QLatin1String(target)));
            QVERIFY2(form.window->statusText().startsWith(QString::fromUtf8(status)), qPrintable(form.window->statusText()));
            QCOMPARE(form.picture->showsPreview(), QByteArray(status).contains("Convert packed"));
            QVERIFY2(!QFileInfo::exists(form.path(QStringLiteral("new.state"))), "choosing writes nothing");
        }
    }

    // The backup is made only when asked, holds the target's previous bytes,
    // and the status names it; Convert packed keeps the once-converted bytes in
    // a new one and says where the first holds the original; Undo removes both.
    void backupIsKeptOnlyWhenTicked() {
        for (const bool ticked : {false, true}) {
            Fixture form;
            const QString target = form.copyOf(kSampleTarget, QStringLiteral("target.state"));
            const QByteArray before = readAll(target);
            form.window->chooseSource(kSampleSource);
            form.window->chooseTarget(target);
            QVERIFY(!form.window->keepsBackup());
            if (ticked) QTest::mouseClick(form.find<QCheckBox>("backupCheck"), Qt::LeftButton, {}, QPoint(4, 8));
            QCOMPARE(form.window->keepsBackup(), ticked);
            form.click("Command3");
            QCOMPARE(readAll(target), convertedInMemory(readAll(kSampleSource), before));
            QCOMPARE(QFileInfo::exists(target + QStringLiteral(".bak")), ticked);
            if (ticked) QCOMPARE(readAll(target + QStringLiteral(".bak")), before);
            QCOMPARE(form.window->statusText().contains(QLatin1String("previous contents are in target.state.bak")), ticked);
            const QByteArray once = readAll(target);
            form.window->convertPacked();
            if (ticked) {
                QCOMPARE(std::pair(readAll(target + QStringLiteral(".bak")), readAll(target + QStringLiteral(".bak.2"))), std::pair(before, once));
                QVERIFY2(form.window->statusText().contains(
                             QLatin1String("previous contents are in target.state.bak.2. The contents before both conversions are in target.state.bak.")),
                         qPrintable(form.window->statusText()));
            }
            form.window->undoLastConversion();
            QCOMPARE(readAll(target), before);
            QCOMPARE(form.window->statusText().contains(QLatin1String("Its backups target.state.bak, target.state.bak.2 were removed.")), ticked);
            QCOMPARE(QDir(form.dir.path()).entryList(QDir::Files), QStringList(QStringLiteral("target.state")));
        }
    }
};

TAVRO_WINDOW_TEST(ConvertTest)

#include "convert_test.moc"
