#include "settings/FormPlacement.h"
#include "platform/registry/FileRegistry.h"
#include "settings/RegistryEntries.h"

#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <memory>

class FormPlacementTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> Temp;
    std::unique_ptr<TFileRegistry> Registry;

    QString Read(const char* subkey, const char* name) {
        if (!Registry->OpenKey(std::string("\\Software\\Ostrawick\\Talvoro\\1.0\\") + subkey,
                               false))
            return "<no key>";
        const auto value = Registry->ReadValue(name);
        Registry->CloseKey();
        return value ? QString::fromStdString(value->Data) : "<no value>";
    }

    void Write(const char* name, const char* text) {
        QVERIFY(Registry->OpenKey("\\Software\\Ostrawick\\Talvoro\\1.0\\Window", true));
        Registry->WriteString(name, text);
        Registry->CloseKey();
    }

    static std::unique_ptr<QWidget> MakeForm() {
        auto form = std::make_unique<QWidget>();
        form->setFixedSize(300, 200);
        form->move(10, 20);
        return form;
    }

    static QString ScreenDpi() {
        return QString::number(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()));
    }

private slots:
    void init() {
        Temp = std::make_unique<QTemporaryDir>();
        Registry = std::make_unique<TFileRegistry>(Temp->path().toStdString() + "/registry.reg");
    }

    void cleanup() {
        Registry.reset();
        Temp.reset();
    }

    void savesThePositionOnCloseAndAgainWhenDestroyed() {
        auto form = MakeForm();
        auto* placement = new TFormPlacement(form.get(), *Registry, "Window");
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->move(120, 90);
        QTRY_COMPARE(form->frameGeometry().topLeft(), QPoint(120, 90));

        placement->Save();
        const QRect frame = form->frameGeometry();
        QCOMPARE(Read("Window", "NormPos"), QString("%1,%2,%3,%4")
                                                .arg(frame.left())
                                                .arg(frame.top())
                                                .arg(frame.left() + frame.width())
                                                .arg(frame.top() + frame.height()));
        QCOMPARE(Read("Window", "Flags"), QString("0"));
        QCOMPARE(Read("Window", "ShowCmd"), QString("1"));
        QCOMPARE(Read("Window", "PixelsPerInch"), ScreenDpi());
        QCOMPARE(Read("Window", "MinMaxPos"), QString("-1,-1,-1,-1"));
        QCOMPARE(Read("Window", "Visible"), QString("0"));

        placement->SetApplicationMinimized([] { return true; });
        placement->Save();
        QCOMPARE(Read("Window", "ShowCmd"), QString("2"));

        form.reset();
        QCOMPARE(Read("Window", "Visible"), QString("1"));
        QCOMPARE(Read("Window", "NormPos").section(',', 0, 1), QString("120,90"));
    }

    void restoresThePositionEachTimeTheWindowIsShown() {
        Write("PixelsPerInch", ScreenDpi().toLatin1());
        Write("NormPos", "150,110,450,310");
        auto form = MakeForm();
        auto* placement = new TFormPlacement(form.get(), *Registry, "Window");
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_COMPARE(form->frameGeometry().topLeft(), QPoint(150, 110));
        QCOMPARE(form->size(), QSize(300, 200));

        form->hide();
        form->move(30, 40);
        form->show();
        QTRY_COMPARE(form->frameGeometry().topLeft(), QPoint(150, 110));
        Q_UNUSED(placement);
    }

    void keepsTheDesignedPositionWhenTheStoredOneDoesNotApply() {
        auto check = [this](const char* pixels, const char* normPos) {
            Write("PixelsPerInch", pixels);
            Write("NormPos", normPos);
            auto form = MakeForm();
            auto* placement = new TFormPlacement(form.get(), *Registry, "Window");
            QVERIFY(!placement->Restore());
            form.reset();
        };
        check("1", "150,110,450,310");                        // another screen density
        check(ScreenDpi().toLatin1().constData(), "150,110"); // malformed
        check(ScreenDpi().toLatin1().constData(), "-5000,-5000,-4700,-4800"); // on no screen
        auto form = MakeForm();
        auto* wizard = new TFormPlacement(form.get(), *Registry, "Wizard");
        QVERIFY(!wizard->Restore()); // no key
    }

    void theWizardsPlacementEndsTheFirstRun() {
        QVERIFY(IsFirstRun(*Registry));
        {
            auto form = MakeForm();
            new TFormPlacement(form.get(), *Registry, "Wizard");
        }
        QVERIFY(!IsFirstRun(*Registry));
        QCOMPARE(Read("Wizard", "Visible"), QString("1"));
    }
};

QTEST_MAIN(FormPlacementTest)
#include "FormPlacementTest.moc"
