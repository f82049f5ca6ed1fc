<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AtomicFile</name>
    <message>
        <source>「%1」はファイルではないため書き込めません。</source>
        <translation>“%1” is not a file, so it cannot be written.</translation>
    </message>
    <message>
        <source>「%1」を作成できません: %2</source>
        <translation>Cannot create “%1”: %2</translation>
    </message>
    <message>
        <source>「%1」を保存できません (%2): %3</source>
        <translation>Cannot save “%1” (%2): %3</translation>
    </message>
</context>
<context>
    <name>Autostart</name>
    <message>
        <source>
プログラムの場所(フォルダーかファイルの名前)に、UTF-8として読めない文字が含まれています。</source>
        <translation>
The program&apos;s location (a folder or file name) has characters that cannot be read as UTF-8.</translation>
    </message>
    <message>
        <source>
プログラムの場所に「%」が含まれていると、デスクトップはその場所を読み違えます。</source>
        <translation>
The desktop misreads a program location that contains “%”.</translation>
    </message>
    <message>
        <source>プログラムの場所に改行などの制御文字が含まれているため、ログイン時に起動するように設定できません。</source>
        <translation>The program&apos;s location contains a line break or another control character, so Mofurin cannot be set to start at login.</translation>
    </message>
    <message>
        <source>起動するコマンド(Exec)が読み取れません。</source>
        <translation>The command to start (Exec) cannot be read.</translation>
    </message>
    <message>
        <source>起動するプログラム「%1」が見つかりません。</source>
        <translation>The program to start, “%1”, was not found.</translation>
    </message>
    <message>
        <source>起動するプログラム「%1」が、このプログラムではありません。</source>
        <translation>The program to start, “%1”, is not this program.</translation>
    </message>
    <message>
        <source>確かめるプログラム(TryExec)「%1」が見つかりません。</source>
        <translation>The program to check for (TryExec), “%1”, was not found.</translation>
    </message>
    <message>
        <source>作業フォルダー「%1」が見つかりません。</source>
        <translation>The working folder “%1” was not found.</translation>
    </message>
    <message>
        <source>書き込んだ項目を読み返せません。</source>
        <translation>The entry that was written cannot be read back.</translation>
    </message>
    <message>
        <source>ログイン時に起動する項目を書きましたが、デスクトップがこのプログラムを起動できない内容になるため、取り消しました。
</source>
        <translation>The entry to start at login was written, but the desktop could not start this program from it, so it was removed again.
</translation>
    </message>
    <message>
        <source>フォルダー「%1」を作成できません。</source>
        <translation>Cannot create the folder “%1”.</translation>
    </message>
    <message>
        <source>「%1」を削除できません。</source>
        <translation>Cannot delete “%1”.</translation>
    </message>
</context>
<context>
    <name>CheckMail</name>
    <message>
        <source>発行先: %1
有効期間: %2
SHA-256 指紋:
%3</source>
        <translation>Issued to: %1
Valid: %2
SHA-256 fingerprint:
%3</translation>
    </message>
    <message>
        <source>

この証明書を、このサーバー(%1)についてだけ信頼しますか?
指紋がサーバーの管理者の知らせるものと同じか確かめてから「はい」を押してください。</source>
        <translation>

Trust this certificate for this server (%1) only?
Check that the fingerprint is the one the server&apos;s administrator gives before you press “Yes”.</translation>
    </message>
    <message>
        <source>警告: %1</source>
        <translation>Warning: %1</translation>
    </message>
    <message>
        <source>新しい証明書
</source>
        <translation>The new certificate
</translation>
    </message>
    <message>
        <source>

信頼していた証明書の指紋:
%1

サーバーの管理者が証明書を替えたと確かめられたときだけ「はい」を押してください。新しい証明書を信頼しますか?</source>
        <translation>

Fingerprint of the certificate you trusted:
%1

Press “Yes” only if you have made sure that the server&apos;s administrator replaced the certificate. Trust the new certificate?</translation>
    </message>
    <message>
        <source>警告: このサーバー(%1)とは以前暗号化通信をしていましたが、今回は暗号化(%2)が提供されていません。途中で誰かが暗号化を妨げているおそれがあるため、パスワードを送らずに接続をやめました。

サーバーが暗号化をやめたと確かめられたときだけ「はい」を押してください。今後このサーバーには暗号化なしで接続しますか?</source>
        <translation>Warning: this server (%1) used to encrypt the connection, but this time it does not offer encryption (%2). Someone on the way may be blocking the encryption, so Mofurin closed the connection without sending your password.

Press “Yes” only if you have made sure that the server stopped offering encryption. Connect to this server without encryption from now on?</translation>
    </message>
    <message>
        <source>自動チェック: %1</source>
        <translation>Automatic check: %1</translation>
    </message>
    <message>
        <source>

受信を押すと、もう一度確かめます。</source>
        <translation>

Press Mail to check again.</translation>
    </message>
    <message>
        <source>IDかパスワードが保存されていません。</source>
        <translation>No user ID or password is saved.</translation>
    </message>
    <message>
        <source>新着メールが有ります。</source>
        <translation>You have new mail.</translation>
    </message>
</context>
<context>
    <name>Connection</name>
    <message>
        <source>%1 ～ %2</source>
        <extracomment>A certificate&apos;s validity: from %1 to %2</extracomment>
        <translation>%1 to %2</translation>
    </message>
    <message>
        <source>自己署名の証明書です</source>
        <translation>The certificate is self-signed</translation>
    </message>
    <message>
        <source>信頼できる認証局の署名がありません</source>
        <translation>No trusted certificate authority has signed it</translation>
    </message>
    <message>
        <source>証明書の名前がサーバーの名前と合いません</source>
        <translation>The certificate&apos;s name does not match the server&apos;s name</translation>
    </message>
    <message>
        <source>証明書の有効期限が切れています</source>
        <translation>The certificate has expired</translation>
    </message>
    <message>
        <source>証明書はまだ有効になっていません</source>
        <translation>The certificate is not valid yet</translation>
    </message>
    <message>
        <source>。</source>
        <extracomment>Ends each of a certificate&apos;s problems, which follow one another</extracomment>
        <translation>. </translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>メールを読む</source>
        <translation>Read Mail</translation>
    </message>
    <message>
        <source>モフリちゃん</source>
        <extracomment>The kitten&apos;s name, the notification&apos;s title</extracomment>
        <translation>Mofurin</translation>
    </message>
</context>
<context>
    <name>DisplayPlatform</name>
    <message>
        <source>もふりん: XWayland が見つからないため、Wayland で動作します。子猫をマウスポインターの位置に出すことと、ほかのウィンドウより手前に保つことはできません。
</source>
        <translation>Mofurin: XWayland was not found, so Mofurin runs on Wayland. The kitten cannot appear at the mouse pointer or stay in front of other windows.
</translation>
    </message>
</context>
<context>
    <name>Failures</name>
    <message>
        <source>接続の番号が正しくありません。</source>
        <translation>The connection number is not valid.</translation>
    </message>
    <message>
        <source>設定の値が正しくありません。</source>
        <translation>The setting&apos;s value is not valid.</translation>
    </message>
    <message>
        <source>その設定の番号はありません。</source>
        <translation>There is no setting with that number.</translation>
    </message>
    <message>
        <source>メールサーバーの名前がありません。</source>
        <translation>The mail server&apos;s name is missing.</translation>
    </message>
    <message>
        <source>メールサーバーの名前が正しくありません。</source>
        <translation>The mail server&apos;s name is not valid.</translation>
    </message>
    <message>
        <source>この接続は既に使われています。</source>
        <translation>This connection is already in use.</translation>
    </message>
    <message>
        <source>ユーザーIDかパスワードに改行などの使えない文字が含まれています。</source>
        <translation>The user ID or password contains a line break or another character that cannot be used.</translation>
    </message>
    <message>
        <source>既にログインしています。</source>
        <translation>Already logged in.</translation>
    </message>
    <message>
        <source>まだログインしていません。</source>
        <translation>Not logged in yet.</translation>
    </message>
    <message>
        <source>そのメールの番号はありません。</source>
        <translation>There is no message with that number.</translation>
    </message>
    <message>
        <source>メールの大きさが分からないため、受け取りませんでした。</source>
        <translation>The message&apos;s size is unknown, so it was not downloaded.</translation>
    </message>
    <message>
        <source>メールサーバーが見つかりませんでした。</source>
        <translation>The mail server was not found.</translation>
    </message>
    <message>
        <source>メールサーバーの名前を時間内に調べられませんでした。</source>
        <translation>The mail server&apos;s name could not be looked up in time.</translation>
    </message>
    <message>
        <source>メールサーバーに接続できませんでした。</source>
        <translation>Could not connect to the mail server.</translation>
    </message>
    <message>
        <source>メールサーバーへの接続が時間切れになりました。</source>
        <translation>The connection to the mail server timed out.</translation>
    </message>
    <message>
        <source>メールサーバーとの暗号化通信を始められませんでした(証明書を確認してください)。</source>
        <translation>Could not start an encrypted connection with the mail server (please check its certificate).</translation>
    </message>
    <message>
        <source>メールサーバーの証明書を確認できないため、暗号化通信を始めませんでした。</source>
        <translation>The mail server&apos;s certificate could not be verified, so the encrypted connection was not started.</translation>
    </message>
    <message>
        <source>メールサーバーの証明書が、信頼すると決めた証明書と違います。なりすましのおそれがあるため、接続しませんでした。</source>
        <translation>The mail server&apos;s certificate is not the one you chose to trust. Someone may be posing as the server, so Mofurin did not connect.</translation>
    </message>
    <message>
        <source>メールサーバーが暗号化通信(STLS)を提供しながら断ったため、接続をやめました。</source>
        <translation>The mail server offers encryption (STLS) but refused it, so Mofurin closed the connection.</translation>
    </message>
    <message>
        <source>メールサーバーが暗号化通信(STLS)を提供していないため、接続をやめました。</source>
        <translation>The mail server does not offer encryption (STLS), so Mofurin closed the connection.</translation>
    </message>
    <message>
        <source>メールサーバーから時間内に最初の応答がありませんでした。</source>
        <translation>The mail server did not greet in time.</translation>
    </message>
    <message>
        <source>メールサーバーが最初の応答をせずに接続を切りました。</source>
        <translation>The mail server closed the connection without a greeting.</translation>
    </message>
    <message>
        <source>メールサーバーが接続を断りました。</source>
        <translation>The mail server refused the connection.</translation>
    </message>
    <message>
        <source>ユーザーIDまたはパスワードが正しくないため、ログインできませんでした。</source>
        <translation>The user ID or password is wrong, so Mofurin could not log in.</translation>
    </message>
    <message>
        <source>メールサーバーの最初の応答に正しいAPOPのタイムスタンプがないため、ログインできませんでした。</source>
        <translation>The mail server&apos;s greeting has no valid APOP timestamp, so Mofurin could not log in.</translation>
    </message>
    <message>
        <source>メールの数を調べられませんでした。</source>
        <translation>Could not find out how many messages there are.</translation>
    </message>
    <message>
        <source>メールサーバーが返したメールの数が正しくありません。</source>
        <translation>The number of messages the mail server gave is not valid.</translation>
    </message>
    <message>
        <source>メールのヘッダーを受け取れませんでした。</source>
        <translation>Could not download the message&apos;s header.</translation>
    </message>
    <message>
        <source>メールの大きさを調べられませんでした。</source>
        <translation>Could not find out the messages&apos; sizes.</translation>
    </message>
    <message>
        <source>メールサーバーが返したメールの大きさが正しくありません。</source>
        <translation>The message size the mail server gave is not valid.</translation>
    </message>
    <message>
        <source>メールの識別番号(UIDL)を調べられませんでした。</source>
        <translation>Could not find out the messages&apos; IDs (UIDL).</translation>
    </message>
    <message>
        <source>メールサーバーが返したメールの識別番号(UIDL)が正しくありません。</source>
        <translation>The message ID (UIDL) the mail server gave is not valid.</translation>
    </message>
    <message>
        <source>メールを受け取れませんでした。</source>
        <translation>Could not download the message.</translation>
    </message>
    <message>
        <source>メールが知らされた大きさより大きいため、途中までしか受け取れませんでした。</source>
        <translation>The message is larger than its given size, so only part of it was downloaded.</translation>
    </message>
    <message>
        <source>受け取り用の領域が小さすぎるため、途中までしか書き込めませんでした。</source>
        <translation>The space to receive it is too small, so only part of it was written.</translation>
    </message>
    <message>
        <source>メールサーバーが時間内に応答しませんでした。</source>
        <translation>The mail server did not answer in time.</translation>
    </message>
    <message>
        <source>メールサーバーとの接続が切れました。</source>
        <translation>The connection to the mail server was lost.</translation>
    </message>
    <message>
        <source>受信を中止しました。</source>
        <translation>The check was cancelled.</translation>
    </message>
    <message>
        <source>メールサーバーとの接続が切れています。</source>
        <translation>Not connected to the mail server.</translation>
    </message>
    <message>
        <source>メールサーバーの応答の行が長すぎます。</source>
        <translation>A line of the mail server&apos;s reply is too long.</translation>
    </message>
    <message>
        <source>メールサーバーの応答が正しくありません。</source>
        <translation>The mail server&apos;s reply is not valid.</translation>
    </message>
    <message>
        <source>メールサーバーが暗号化通信(STARTTLS)を提供しながら断ったため、接続をやめました。</source>
        <translation>The mail server offers encryption (STARTTLS) but refused it, so Mofurin closed the connection.</translation>
    </message>
    <message>
        <source>メールサーバーが暗号化通信(STARTTLS)を提供していないため、接続をやめました。</source>
        <translation>The mail server does not offer encryption (STARTTLS), so Mofurin closed the connection.</translation>
    </message>
    <message>
        <source>メールサーバーがこの接続でのログインを受け付けていません(LOGINDISABLED)。</source>
        <translation>The mail server does not accept a login on this connection (LOGINDISABLED).</translation>
    </message>
    <message>
        <source>暗号化されていない接続には、アクセストークンを送りません。</source>
        <translation>Mofurin does not send an access token over an unencrypted connection.</translation>
    </message>
    <message>
        <source>メールサーバーがアクセストークンによるログインに対応していません。</source>
        <translation>The mail server does not support logging in with an access token.</translation>
    </message>
    <message>
        <source>メールサーバーがアクセストークンを受け付けませんでした。</source>
        <translation>The mail server did not accept the access token.</translation>
    </message>
    <message>
        <source>メールボックスを開けませんでした。</source>
        <translation>Could not open the mailbox.</translation>
    </message>
    <message>
        <source>未読のメールを調べられませんでした。</source>
        <translation>Could not look for unread messages.</translation>
    </message>
    <message>
        <source>メールサーバーが新着の待ち受け(IDLE)を断りました。</source>
        <translation>The mail server refused to wait for new mail (IDLE).</translation>
    </message>
    <message>
        <source>メールサーバーが接続を終えました。</source>
        <translation>The mail server ended the connection.</translation>
    </message>
    <message>
        <source>メールサーバーの応答が大きすぎます。</source>
        <translation>The mail server&apos;s reply is too large.</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>ファイルサイズが大きすぎて展開に<byte value="xd"/>
時間がかかる可能性があるため中止しました</source>
        <translation>The sound file is so large that unpacking it could take a long time, so it was not played.</translation>
    </message>
    <message>
        <source>フラグの指定が正しくありません</source>
        <translation>The sound was asked for with invalid options.</translation>
    </message>
    <message>
        <source>指定されたファイルは存在しません</source>
        <translation>The sound file does not exist.</translation>
    </message>
    <message>
        <source>API がエラーを返しました</source>
        <translation>The sound system reported an error.</translation>
    </message>
    <message>
        <source>未定義の致命的なエラーです</source>
        <translation>An unknown fatal error occurred.</translation>
    </message>
    <message>
        <source>同期再生(&amp;S)</source>
        <translation>&amp;Synchronous play</translation>
    </message>
    <message>
        <source>繰り返し再生(&amp;L)</source>
        <translation>&amp;Loop</translation>
    </message>
    <message>
        <source>メモリ上で再生(&amp;M)</source>
        <translation>Play from &amp;memory</translation>
    </message>
    <message>
        <source>このあとは音を出さずに鳴き続けます。鳴きやませるには「新着お知らせ」かコマンドバーを閉じてください。</source>
        <translation>The kitten goes on meowing without sound. To stop it, close the “New mail” notice or the command bar.</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>モフリちゃん</source>
        <translation>Mofurin</translation>
    </message>
    <message>
        <source>鳴かす</source>
        <extracomment>The bar&apos;s button that makes the kitten meow until the bar closes</extracomment>
        <translation>Meow</translation>
    </message>
    <message>
        <source>受信</source>
        <extracomment>The bar&apos;s button that checks the mailbox now</extracomment>
        <translation>Mail</translation>
    </message>
    <message>
        <source>設定</source>
        <extracomment>The bar&apos;s button that opens the settings dialog</extracomment>
        <translation>Setup</translation>
    </message>
    <message>
        <source>HP</source>
        <extracomment>The bar&apos;s button that offers to open the maker&apos;s homepage</extracomment>
        <translation>Web</translation>
    </message>
    <message>
        <source>切断</source>
        <extracomment>Ends the dial-up connections</extracomment>
        <translation>Hang up</translation>
    </message>
    <message>
        <source>メールチェック</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>各種設定</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>作者のHP</source>
        <translation>Author</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>メールのチェックをしています。中止しますか?</source>
        <translation>Mofurin is checking your mail. Stop the check?</translation>
    </message>
    <message>
        <source>「ミャウ工房」作者のホームページです。ちょっと見てみますか？</source>
        <translation>This is the homepage of “Meow Workshop”, where Mofurin comes from. Take a look?</translation>
    </message>
    <message>
        <source>ブラウザを起動できませんでした。<byte value="xd"/>
%1</source>
        <translation>The web browser could not be started. You can open the page yourself:<byte value="xd"/>
%1</translation>
    </message>
</context>
<context>
    <name>FrameRegions</name>
    <message>
        <source>コマ %1 の形には長方形が %2 個必要で、上限の %3 個を超えています。子猫を覆う粗い形で代用します。</source>
        <translation>The shape of frame %1 needs %2 rectangles, more than the limit of %3. A rough shape that covers the kitten is used instead.</translation>
    </message>
</context>
<context>
    <name>IdPassForm</name>
    <message>
        <source>IDパスワードを保存する</source>
        <translation>Save ID and password</translation>
    </message>
    <message>
        <source>読み出せません</source>
        <translation>Cannot be read</translation>
    </message>
</context>
<context>
    <name>KeychainSecretStore</name>
    <message>
        <source>デスクトップのキーリング(パスワードの保管庫)が見つからないか、応答しませんでした。</source>
        <translation>The desktop&apos;s keyring (where passwords are kept) was not found or did not answer.</translation>
    </message>
    <message>
        <source>デスクトップのキーリングがロックされたままで、使うことを許可されませんでした。</source>
        <translation>The desktop&apos;s keyring stayed locked, so Mofurin was not allowed to use it.</translation>
    </message>
    <message>
        <source>デスクトップのキーリングが時間内に応答しませんでした。</source>
        <translation>The desktop&apos;s keyring did not answer in time.</translation>
    </message>
</context>
<context>
    <name>MailCheck</name>
    <message>
        <source>サーバーが暗号化を提供していないため、デスクトップのアカウントの資格情報を送らずに接続をやめました。</source>
        <translation>The server does not offer encryption, so Mofurin closed the connection without sending the desktop account&apos;s credentials.</translation>
    </message>
    <message>
        <source>サーバーがデスクトップのアカウントの資格情報を受け付けません。システムの設定の「オンラインアカウント」で、このアカウントにもう一度サインインしてください。</source>
        <translation>The server does not accept the desktop account&apos;s credentials. Please sign in to this account again under “Online Accounts” in the system settings.</translation>
    </message>
</context>
<context>
    <name>MailLibraryModule</name>
    <message>
        <source>メールを受信する部品を読み込めません: %1</source>
        <translation>Cannot load the part that receives mail: %1</translation>
    </message>
</context>
<context>
    <name>MailProgram</name>
    <message>
        <source>MAILER に書かれたメールソフトを起動できません: %1</source>
        <translation>Cannot start the mail program set in MAILER: %1</translation>
    </message>
    <message>
        <source>メールソフトが見つかりません。デスクトップの設定で既定のメールソフトを選ぶか、★MailData/ini.ini の [MOFURIN] に MAILER= で起動するコマンドを書いてください。</source>
        <translation>No mail program was found. Choose a default mail program in the desktop&apos;s settings, or write the command that starts one as MAILER= under [MOFURIN] in ★MailData/ini.ini.</translation>
    </message>
    <message>
        <source>メールソフトを起動できません: %1</source>
        <translation>Cannot start the mail program: %1</translation>
    </message>
</context>
<context>
    <name>Mailbox</name>
    <message>
        <source>メールボックス「%1」を開けませんでした。サーバーにその名前のメールボックスがあるか確かめてください。
</source>
        <translation>Could not open the mailbox “%1”. Please check that the server has a mailbox of that name.
</translation>
    </message>
</context>
<context>
    <name>MessageBoxLook</name>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>MsgForm</name>
    <message>
        <source>新着お知らせ</source>
        <translation>New mail</translation>
    </message>
    <message>
        <source>新着メールはありませんでした。</source>
        <translation>No new mail.</translation>
    </message>
</context>
<context>
    <name>NewMailLines</name>
    <message numerus="yes">
        <source>ほか %n 通</source>
        <extracomment>The last line of a list of new messages: how many more there are</extracomment>
        <translation>
            <numerusform>and %n more</numerusform>
            <numerusform>and %n more</numerusform>
        </translation>
    </message>
    <message>
        <source>(件名なし)</source>
        <translation>(no subject)</translation>
    </message>
    <message>
        <source>(差出人なし)</source>
        <translation>(no sender)</translation>
    </message>
</context>
<context>
    <name>OnlineAccounts</name>
    <message>
        <source>デスクトップのオンラインアカウントのサービスが応答しません。</source>
        <translation>The desktop&apos;s online accounts service does not answer.</translation>
    </message>
    <message>
        <source>システムの設定の「オンラインアカウント」で、このアカウントにもう一度サインインしてください。</source>
        <translation>Please sign in to this account again under “Online Accounts” in the system settings.</translation>
    </message>
    <message>
        <source>デスクトップのアカウントが見つからないか、メールに使わない設定になりました。「設定」で選び直してください。</source>
        <translation>The desktop account was not found, or it is no longer set to be used for mail. Please choose again in Settings.</translation>
    </message>
</context>
<context>
    <name>OptionForm</name>
    <message>
        <source>サーバー</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>SMTPサーバー名(&amp;S)</source>
        <translation>&amp;SMTP server</translation>
    </message>
    <message>
        <source>POP3サーバー名(&amp;P)</source>
        <translation>&amp;POP3 server</translation>
    </message>
    <message>
        <source>メールアドレス(&amp;M)</source>
        <translation>&amp;Mail address</translation>
    </message>
    <message>
        <source>APOP を使用する(&amp;A)</source>
        <translation>Use &amp;APOP</translation>
    </message>
    <message>
        <source>設定</source>
        <extracomment>Saves the server settings and closes the dialog</extracomment>
        <translation>Save</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>サーバー設定を保存できませんでした。
</source>
        <translation>The server settings could not be saved.
</translation>
    </message>
</context>
<context>
    <name>PasswordPlace</name>
    <message>
        <source>IDかパスワードに、保存できない文字(改行、またはシフトJISにない文字)が含まれています。</source>
        <translation>The ID or password contains a character that cannot be saved (a line break, or a character Shift JIS does not have).</translation>
    </message>
    <message>
        <source>デスクトップのキーリングが使えないため、パスワードはこれまでどおり設定ファイルに保存したままです。</source>
        <translation>The desktop&apos;s keyring cannot be used, so the password stays in the settings file as before.</translation>
    </message>
    <message>
        <source>設定を保存できなかったため、パスワードの保存場所は変えていません。
</source>
        <translation>The settings could not be saved, so the password stays where it was.
</translation>
    </message>
    <message>
        <source>デスクトップのキーリングが使えないため、保存したパスワードを読み出せませんでした。</source>
        <translation>The desktop&apos;s keyring cannot be used, so the saved password could not be read.</translation>
    </message>
    <message>
        <source>IDとパスワードを保存できませんでした。
</source>
        <translation>Could not save the ID and password.
</translation>
    </message>
    <message>
        <source>IDかパスワードが長すぎて保存できません。それぞれ半角%1文字(全角%2文字)までです。</source>
        <translation>The ID or password is too long to save. Each may have up to %1 single-byte characters (%2 double-byte ones).</translation>
    </message>
    <message>
        <source>デスクトップのキーリングが使えないため、パスワードは設定ファイルに保存しました。</source>
        <translation>The desktop&apos;s keyring cannot be used, so the password was saved in the settings file.</translation>
    </message>
    <message>
        <source>保存したパスワードを読み出せないため、IDだけを変えて保存することはできません。パスワードも入力してください。</source>
        <translation>The saved password cannot be read, so the ID cannot be changed on its own. Please enter the password too.</translation>
    </message>
    <message>
        <source>パスワードをキーリングに移しましたが、設定ファイルのパスワードを消せませんでした。
</source>
        <translation>The password was moved to the keyring, but could not be removed from the settings file.
</translation>
    </message>
    <message>
        <source>デスクトップのキーリングが使えないため、パスワードを設定ファイルに戻せず、キーリングを使う設定のままです。</source>
        <translation>The desktop&apos;s keyring cannot be used, so the password could not be moved back to the settings file; the keyring stays in use.</translation>
    </message>
    <message>
        <source>設定ファイルに書き込めないため、パスワードはキーリングに残し、キーリングを使う設定のままです。
</source>
        <translation>The settings file cannot be written, so the password stays in the keyring and the keyring stays in use.
</translation>
    </message>
    <message>
        <source>デスクトップのキーリングが使えないため、キーリングに残ったパスワードは消せませんでした。</source>
        <translation>The desktop&apos;s keyring cannot be used, so the password left in it could not be removed.</translation>
    </message>
    <message>
        <source>パスワードを設定ファイルに戻しましたが、キーリングのパスワードは消せませんでした。</source>
        <translation>The password was moved back to the settings file, but could not be removed from the keyring.</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>受信中</source>
        <translation>Busy…</translation>
    </message>
    <message numerus="yes">
        <source>%1/%n通</source>
        <translation>
            <numerusform>%1 of %n</numerusform>
            <numerusform>%1 of %n</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ServerFile</name>
    <message>
        <source>改行やシフトJISで表せない文字を含む設定は保存できません。</source>
        <translation>Settings that contain a line break or a character Shift JIS cannot show cannot be saved.</translation>
    </message>
</context>
<context>
    <name>SetForm</name>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>POPサーバー</source>
        <translation>POP server</translation>
    </message>
    <message>
        <source>新着がなければ接続を切断する。</source>
        <translation>Hang up if no new mail.</translation>
    </message>
    <message>
        <source>ログイン時に起動する</source>
        <translation>Start when I log in</translation>
    </message>
    <message>
        <source>自動チェック</source>
        <translation>Auto check</translation>
    </message>
    <message>
        <source>分ごと</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>新着だけを知らせる</source>
        <translation>Report only new mail</translation>
    </message>
    <message>
        <source>差出人と件名を通知する</source>
        <translation>Show sender and subject</translation>
    </message>
    <message>
        <source>パスワードをキーリングへ</source>
        <translation>Keep password in keyring</translation>
    </message>
    <message>
        <source>デスクトップのアカウントを使う</source>
        <translation>Use a desktop account</translation>
    </message>
    <message>
        <source>使わない</source>
        <extracomment>The account list&apos;s first entry: no desktop account is used</extracomment>
        <translation>None</translation>
    </message>
    <message>
        <source>しない</source>
        <translation>Off</translation>
    </message>
</context>
<context>
    <name>SoundOutputModule</name>
    <message>
        <source>音を鳴らす部品を読み込めません: %1</source>
        <translation>Cannot load the part that plays sounds: %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>もふりんはすでに起動していますが、応答がありません。
</source>
        <translation>Mofurin is already running but does not answer.
</translation>
    </message>
</context>
</TS>
