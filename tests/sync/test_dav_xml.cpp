// Hrefs checked against the address book, and multistatus bodies as two real servers and
// some odd ones write them.
#include <QTest>

#include "sync/dav_href.h"
#include "sync/dav_xml.h"

using namespace tavelin::sync;

namespace {

const QUrl kBook(u"https://dav.example.org/ann/book/"_qs);

}  // namespace

class DavXmlTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void memberHrefs_data() {
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("expected");  // empty: refused
    const auto row = [](const char* name, const QString& href, const char* expected = "") {
      QTest::newRow(name) << href << QString::fromUtf8(expected);
    };
    row("absolute path", "/ann/book/a.vcf", "/ann/book/a.vcf");
    row("relative", "a.vcf", "/ann/book/a.vcf");
    row("full url", "https://dav.example.org/ann/book/a.vcf", "/ann/book/a.vcf");
    row("default port named", "https://dav.example.org:443/ann/book/a.vcf", "/ann/book/a.vcf");
    row("host case", "https://DAV.example.org/ann/book/a.vcf", "/ann/book/a.vcf");
    row("encoded space", "/ann/book/a%20b.vcf", "/ann/book/a%20b.vcf");
    // One spelling for every href, whichever the server chose.
    row("at sign", "/ann/book/a@b.vcf", "/ann/book/a%40b.vcf");
    row("encoded at sign", "/ann/book/a%40b.vcf", "/ann/book/a%40b.vcf");
    row("encoded tilde", "/ann/book/%7eann.vcf", "/ann/book/~ann.vcf");
    row("non-ascii", "/ann/book/Zo\u00eb.vcf", "/ann/book/Zo%C3%AB.vcf");
    row("encoded non-ascii", "/ann/book/Zo%c3%ab.vcf", "/ann/book/Zo%C3%AB.vcf");
    row("not utf-8", "/ann/book/%FF.vcf", "/ann/book/%FF.vcf");
    row("encoded percent", "/ann/book/100%25.vcf", "/ann/book/100%25.vcf");
    row("dot segments inside", "/ann/book/x/../a.vcf", "/ann/book/a.vcf");
    row("deeper member", "/ann/book/sub/a.vcf", "/ann/book/sub/a.vcf");
    row("parent", "../other/a.vcf");
    row("parent after", "/ann/book/../other/a.vcf");
    row("encoded dots", "/ann/book/%2e%2e/a.vcf");
    // Resolved as the server resolves it: back into the book.
    row("encoded dots back in", "/ann/book/%2E%2E/book/a.vcf", "/ann/book/a.vcf");
    row("encoded slash", "/ann/book/..%2fa.vcf");
    row("backslash", "/ann/book/..%5ca.vcf");
    row("prefix only", "/ann/bookish/a.vcf");
    row("the book", "/ann/book/");
    row("the book unslashed", "/ann/book");
    row("other host", "https://evil.example.org/ann/book/a.vcf");
    row("other port", "https://dav.example.org:8443/ann/book/a.vcf");
    row("plain http", "http://dav.example.org/ann/book/a.vcf");
    row("user info", "https://eve@dav.example.org/ann/book/a.vcf");
    row("query", "a.vcf?x=1");
    row("fragment", "a.vcf#x");
    row("empty", "");
    row("blank", "   ");
    row("scheme only", "mailto:ann@example.org");
    row("network path", "//evil.example.org/ann/book/a.vcf");
    row("over-long", "/ann/book/" + QString(5000, QLatin1Char('a')));
  }
  void memberHrefs() {
    QFETCH(QString, href);
    QFETCH(QString, expected);
    QCOMPARE(memberHref(kBook, href).value_or(QString()), expected);
    // What comes out is its own spelling: read again, it stays.
    if (!expected.isEmpty()) QCOMPARE(memberHref(kBook, expected).value_or(QString()), expected);
  }
  void collectionUrls_data() {
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QUrl>("expected");
    QTest::newRow("slash added") << QUrl("https://h/ann/book") << QUrl("https://h/ann/book/");
    QTest::newRow("user dropped") << QUrl("https://ann:pw@h/ann/book/")
                                  << QUrl("https://h/ann/book/");
    QTest::newRow("query dropped") << QUrl("https://h/b/?x=1#f") << QUrl("https://h/b/");
    QTest::newRow("root") << QUrl("https://h") << QUrl("https://h/");
  }
  void collectionUrls() {
    QFETCH(QUrl, url);
    QFETCH(QUrl, expected);
    QCOMPARE(collectionUrl(url), expected);
    QVERIFY(!collectionUrl(url).toString().contains(u"pw"_qs));
  }
  void serverStyles_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("card");
    const QByteArray crlf = "BEGIN:VCARD\r\nFN:Ann & Bob\r\nEND:VCARD\r\n";
    // Radicale: a default namespace, the status after the properties.
    QTest::newRow("default namespace")
        << QByteArray(
               "<?xml version='1.0' encoding='utf-8'?>\n<multistatus xmlns=\"DAV:\" "
               "xmlns:CR=\"urn:ietf:params:xml:ns:carddav\"><response><href>/ann/book/a.vcf"
               "</href><propstat><prop><getetag>\"e1\"</getetag><CR:address-data>BEGIN:VCARD"
               "&#13;\nFN:Ann &amp; Bob&#13;\nEND:VCARD&#13;\n</CR:address-data></prop><status>"
               "HTTP/1.1 200 OK</status></propstat></response><sync-token>tok-1</sync-token>"
               "</multistatus>")
        << crlf;
    // Xandikos: numbered prefixes, the status before the properties.
    QTest::newRow("numbered prefixes")
        << QByteArray(
               "<ns0:multistatus xmlns:ns0=\"DAV:\" xmlns:ns1=\"urn:ietf:params:xml:ns:carddav\">"
               "<ns0:response><ns0:href>/ann/book/a.vcf</ns0:href><ns0:propstat><ns0:status>"
               "HTTP/1.1 200 OK</ns0:status><ns0:prop><ns0:getetag>\"e1\"</ns0:getetag>"
               "<ns1:address-data>BEGIN:VCARD&#13;\nFN:Ann &amp; Bob&#13;\nEND:VCARD&#13;\n"
               "</ns1:address-data></ns0:prop></ns0:propstat></ns0:response><ns0:sync-token>"
               "tok-1</ns0:sync-token></ns0:multistatus>")
        << crlf;
    // Properties split over two 200 propstats, and a CDATA card, whose line ends XML turns into
    // line feeds.
    QTest::newRow("split propstats")
        << QByteArray(
               "<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>https://dav.example.org"
               "/ann/book/a.vcf</D:href><D:propstat><D:prop><D:getetag>\"e1\"</D:getetag>"
               "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat><D:propstat>"
               "<D:prop><A:address-data xmlns:A=\"urn:ietf:params:xml:ns:carddav\"><![CDATA["
               "BEGIN:VCARD\r\nFN:Ann & Bob\r\nEND:VCARD\r\n]]></A:address-data></D:prop>"
               "<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>"
               "<D:sync-token>tok-1</D:sync-token></D:multistatus>")
        << QByteArray("BEGIN:VCARD\nFN:Ann & Bob\nEND:VCARD\n");
  }
  void serverStyles() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, card);
    const Multistatus found = parseMultistatus(body, kBook, kBook);
    QVERIFY2(found.error.isEmpty(), qPrintable(found.error));
    QCOMPARE(found.responses.size(), 1u);
    const DavResponse& r = found.responses[0];
    QCOMPARE(r.href, u"/ann/book/a.vcf"_qs);
    QCOMPARE(r.status, 200);
    QCOMPARE(r.etag, QByteArray("\"e1\""));
    QVERIFY(r.hasAddressData);
    QCOMPARE(r.addressData, card);
    QCOMPARE(found.syncToken, u"tok-1"_qs);
  }
  void failedPropstatsIgnored() {
    // A 404 propstat names properties the server lacks: an empty etag there is no etag.
    const QByteArray body =
        "<multistatus xmlns=\"DAV:\" "
        "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><response><href>/ann/"
        "</href><propstat><prop><resourcetype><collection/><C:addressbook/></resourcetype>"
        "<displayname>Friends</displayname><supported-report-set><supported-report><report>"
        "<C:addressbook-multiget/></report></supported-report></supported-report-set></prop>"
        "<status>HTTP/1.1 200 OK</status></propstat>"
        "<propstat><prop><getetag>\"bogus\"</getetag><C:addressbook-home-set><href>/x/</href>"
        "</C:addressbook-home-set></prop><status>HTTP/1.1 404 Not Found</status></propstat>"
        "</response><response><href>/ann/gone.vcf</href><status>HTTP/1.1 404 Not Found</status>"
        "</response><response><href>/ann/p/</href><propstat><prop><supported-report-set>"
        "<supported-report><report><sync-collection/></report></supported-report>"
        "</supported-report-set><current-user-principal><href>"
        "/ann/</href></current-user-principal></prop><status>HTTP/1.1 200 OK</status></propstat>"
        "</response></multistatus>";
    const QUrl root(u"https://dav.example.org/"_qs);
    const Multistatus found = parseMultistatus(body, root, root);
    QVERIFY(found.error.isEmpty());
    QCOMPARE(found.responses.size(), 3u);
    const DavResponse& book = found.responses[0];
    QVERIFY(book.isCollection && book.isAddressBook);
    QCOMPARE(book.displayName, u"Friends"_qs);
    QVERIFY(book.etag.isEmpty());
    QVERIFY(book.addressbookHomeSet.isEmpty());
    QCOMPARE(found.responses[1].status, 404);
    QCOMPARE(found.responses[2].currentUserPrincipal, u"/ann/"_qs);
    QVERIFY(!book.supportsSyncCollection);
    QVERIFY(!found.responses[2].isCollection);
    QVERIFY(found.responses[2].supportsSyncCollection);
  }
  void limits_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<int>("responses");
    const QByteArray one =
        "<response><href>/ann/book/a.vcf</href><propstat><prop><getetag>\"1\""
        "</getetag></prop><status>HTTP/1.1 200 OK</status></propstat></response>";
    const auto wrap = [](const QByteArray& inner) -> QByteArray {
      return "<multistatus xmlns=\"DAV:\">" + inner + "</multistatus>";
    };
    QTest::newRow("ten") << wrap(one.repeated(10)) << true << 10;
    QTest::newRow("too many") << wrap(one.repeated(11)) << false << 0;
    QTest::newRow("depth 16") << wrap(QByteArray("<x>").repeated(14) +
                                      QByteArray("</x>").repeated(14))
                              << true << 0;
    QTest::newRow("too deep") << wrap(QByteArray("<x>").repeated(16) +
                                      QByteArray("</x>").repeated(16))
                              << false << 0;
    QTest::newRow("long ignored text")
        << wrap("<x>" + QByteArray(300, 'a') + "</x>" + one) << true << 1;
    QTest::newRow("long href") << wrap("<response><href>/ann/book/" + QByteArray(300, 'a') +
                                       "</href></response>")
                               << false << 0;
    QTest::newRow("undeclared entity") << wrap("&x;" + one) << false << 0;
    QTest::newRow("doctype") << "<!DOCTYPE multistatus>" + wrap(one) << false << 0;
    QTest::newRow("trailing junk") << wrap(one) + "<more/>" << false << 0;
    QTest::newRow("wrong namespace") << QByteArray("<multistatus xmlns=\"urn:x\"/>") << false << 0;
    QTest::newRow("no namespace") << QByteArray("<multistatus/>") << false << 0;
  }
  void limits() {
    QFETCH(QByteArray, body);
    QFETCH(bool, readable);
    QFETCH(int, responses);
    XmlLimits limits;
    limits.maxDepth = 16;
    limits.maxResponses = 10;
    limits.maxTextBytes = 200;
    const Multistatus found = parseMultistatus(body, kBook, kBook, limits);
    QCOMPARE(found.error.isEmpty(), readable);
    QCOMPARE(static_cast<int>(found.responses.size()), responses);
  }
  void errorBodies_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("condition");  // empty: none
    QTest::addColumn<QString>("href");
    const auto row = [](const char* name, const QByteArray& body, const char* condition = "",
                        const char* href = "") {
      QTest::newRow(name) << body << QString::fromLatin1(condition) << QString::fromLatin1(href);
    };
    row("radicale uid",
        "<?xml version='1.0' encoding='utf-8'?>\n<error xmlns=\"DAV:\" "
        "xmlns:CR=\"urn:ietf:params:xml:ns:carddav\"><CR:no-uid-conflict /></error>",
        "no-uid-conflict");
    row("uid with href",
        "<d:error xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><c:no-uid-conflict>"
        "<d:href> /ann/book/x.vcf </d:href></c:no-uid-conflict></d:error>",
        "no-uid-conflict", "/ann/book/x.vcf");
    row("sync token", "<error xmlns=\"DAV:\"><valid-sync-token/></error>", "valid-sync-token");
    row("foreign root", "<html><valid-sync-token/></html>");
    row("not xml", "Forbidden");
  }
  void errorBodies() {
    QFETCH(QByteArray, body);
    QFETCH(QString, condition);
    QFETCH(QString, href);
    const DavErrorBody found = parseDavError(body);
    QCOMPARE(found.conditions, condition.isEmpty() ? QStringList() : QStringList{condition});
    QCOMPARE(found.conflictHref, href);
  }
  void requestBodiesReadBack() {
    // A multiget asks for exactly the hrefs given, escaped as XML needs.
    const QByteArray body = multigetBody({u"/ann/book/a&b.vcf"_qs, u"/ann/book/c.vcf"_qs});
    QVERIFY(body.contains("<d:href>/ann/book/a&amp;b.vcf</d:href>"));
    QVERIFY(body.contains("<c:address-data/>"));
    QVERIFY(syncCollectionBody(u"t<1>"_qs).contains("<d:sync-token>t&lt;1&gt;</d:sync-token>"));
    QVERIFY(syncCollectionBody({}).contains("<d:sync-token></d:sync-token>"));
    const QByteArray propfind = propfindBody({u"getetag"_qs}, {u"addressbook-home-set"_qs});
    QVERIFY(propfind.contains(
        "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"));
    QVERIFY(propfind.contains("<d:prop><d:getetag/><c:addressbook-home-set/></d:prop>"));
  }
};

QTEST_GUILESS_MAIN(DavXmlTest)
#include "test_dav_xml.moc"
