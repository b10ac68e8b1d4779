// Mozilla User Preferences

user_pref("browser.cache.disk.capacity", 358400);
user_pref("mail.account.account1.server", "server1");
user_pref("mail.account.account3.identities", "id1,id2");
user_pref("mail.account.account3.server", "server4");
user_pref("mail.accountmanager.accounts", "account3,account1");
user_pref("mail.accountmanager.appendix", "kept");
user_pref("mail.accountmanager.defaultaccount", "account3");
user_pref("mail.accountmanager.localfoldersserver", "server1");
user_pref("mail.identity.id1.fullName", "Old Name");
user_pref("mail.identity.id1.smtpServer", "smtp1");
user_pref("mail.identity.id1.useremail", "old@isp.example");
user_pref("mail.identity.id2.useremail", "other@isp.example");
user_pref("mail.server.server1.hostname", "Local Folders");
user_pref("mail.server.server1.type", "none");
user_pref("mail.server.server4.hostname", "pop.isp.example");
user_pref("mail.server.server4.port", 110);
user_pref("mail.server.server4.type", "pop3");
user_pref("mail.smtp.defaultserver", "smtp1");
user_pref("mail.smtpserver.smtp1.hostname", "smtp.isp.example");
user_pref("mail.smtpserver.smtp1.port", 25);
user_pref("mail.smtpserver.smtp1.username", "old");
user_pref("mail.smtpservers", "smtp1");
user_pref("mailnews.start_page_override.mstone", "ignore");
